// The one control language of the board, on every face, and the one escaping of bytes.
#include "board/board_control.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/apply_board_control.h"
#include "device/byte_escapes.h"
#include "tests/support/device_test_doubles.h"

namespace kt57 {
namespace {

constexpr BoardControlFace allFaces[] = {BoardControlFace::Events, BoardControlFace::Console, BoardControlFace::Config};

std::string reasonOf(const BoardControl& control) {
    char text[200];
    describeBoardControlError(control, text, sizeof text);
    return text;
}

TEST(BoardControlLine, EveryFaceReadsTheSameLinesAlike) {
    struct Case {
        const char* line;
        BoardControlKind kind;
        const char* reason;  // for an Invalid line
    } cases[] = {
        {"input 00FF00", BoardControlKind::Input, ""},
        {"  input abcdef\r", BoardControlKind::Input, ""},
        {"input 00FF0", BoardControlKind::Invalid, "bad inputs '00FF0': six hexadecimal digits"},
        {"input 00FF000", BoardControlKind::Invalid, "bad inputs '00FF000': six hexadecimal digits"},
        {"input", BoardControlKind::Invalid, "'input' needs an argument"},
        {"input 000000 1", BoardControlKind::Invalid, "too many arguments for 'input'"},
        {"latency 0", BoardControlKind::Latency, ""},
        {"latency 1000000000", BoardControlKind::Latency, ""},
        {"latency 1000000001", BoardControlKind::Invalid,
         "bad latency '1000000001': whole milliseconds from 0 to 1000000000"},
        {"latency -1", BoardControlKind::Invalid, "bad latency '-1': whole milliseconds from 0 to 1000000000"},
        {"unplug", BoardControlKind::Unplug, ""},
        {"plug", BoardControlKind::Plug, ""},
        {"plug now", BoardControlKind::Invalid, "too many arguments for 'plug'"},
        {"mute", BoardControlKind::Mute, ""},
        {"unmute", BoardControlKind::Unmute, ""},
        {"fail status", BoardControlKind::Fail, ""},
        {"heal read", BoardControlKind::Heal, ""},
        {"fail close", BoardControlKind::Invalid, "bad call 'close': open, write, status or read"},
        {"fail", BoardControlKind::Invalid, "'fail' needs an argument"},
        {"serial AB123456", BoardControlKind::Serial, ""},
        {"serial AB1234567", BoardControlKind::Invalid, "bad serial 'AB1234567': 1 to 8 characters from '0' to 'Z'"},
        {"serial ../AB", BoardControlKind::Invalid, "bad serial '../AB': 1 to 8 characters from '0' to 'Z'"},
        {"serial ab123456", BoardControlKind::Invalid, "bad serial 'ab123456': 1 to 8 characters from '0' to 'Z'"},
        {"inject U0000FF\\x0D", BoardControlKind::Inject, ""},
        {"inject", BoardControlKind::Invalid, "'inject' needs an argument"},
        {"inject \\x4", BoardControlKind::Invalid, "bad bytes '\\x4': characters and \\xHH escapes"},
        {"inject \\q", BoardControlKind::Invalid, "bad bytes '\\q': characters and \\xHH escapes"},
        {"", BoardControlKind::Empty, ""},
        {" \t", BoardControlKind::Empty, ""},
    };
    for (const BoardControlFace face : allFaces) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.line) + " on face " + std::to_string(static_cast<int>(face)));
            const BoardControl control = parseBoardControl(c.line, face);
            EXPECT_EQ(control.kind, c.kind);
            if (c.kind == BoardControlKind::Invalid) {
                EXPECT_EQ(reasonOf(control), c.reason);
            }
        }
    }
}

TEST(BoardControlLine, ValuesAreReadIntoTheControl) {
    EXPECT_EQ(parseBoardControl("input abcdef", BoardControlFace::Console).inputs, 0xABCDEFu);
    EXPECT_EQ(parseBoardControl("latency 250", BoardControlFace::Config).latencyMilliseconds, 250u);
    EXPECT_EQ(parseBoardControl("fail write", BoardControlFace::Events).call, FailingCall::Write);
    EXPECT_STREQ(parseBoardControl("serial X1", BoardControlFace::Config).serialNumber, "X1");
}

TEST(BoardControlLine, QuitAndHelpBelongToTheConsoleAlone) {
    EXPECT_EQ(parseBoardControl("quit", BoardControlFace::Console).kind, BoardControlKind::Quit);
    EXPECT_EQ(parseBoardControl("help", BoardControlFace::Console).kind, BoardControlKind::Help);
    EXPECT_EQ(reasonOf(parseBoardControl("quit", BoardControlFace::Events)), "unknown event 'quit'");
    EXPECT_EQ(reasonOf(parseBoardControl("help", BoardControlFace::Config)), "unknown command 'help'");
    EXPECT_FALSE(isBoardControlWord("quit", 4, BoardControlFace::Events));
    EXPECT_TRUE(isBoardControlWord("fail", 4, BoardControlFace::Events));
}

TEST(BoardControlLine, InjectTakesOneWordInTheEventsFileAndTheRestOfTheLineElsewhere) {
    const BoardControl events = parseBoardControl("inject a\\x20b", BoardControlFace::Events);
    ASSERT_EQ(events.kind, BoardControlKind::Inject);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(events.bytes), events.size), "a b");
    EXPECT_EQ(reasonOf(parseBoardControl("inject a b", BoardControlFace::Events)), "too many arguments for 'inject'");

    // The terminal's line end is not part of the bytes; blanks inside are.
    const BoardControl console = parseBoardControl("inject R0\\x00\\xfF\\\\ z\\r\\n\n", BoardControlFace::Console);
    ASSERT_EQ(console.kind, BoardControlKind::Inject);
    const unsigned char expected[] = {'R', '0', 0x00, 0xFF, '\\', ' ', 'z', '\r', '\n'};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(console.bytes), console.size),
              std::string(reinterpret_cast<const char*>(expected), sizeof expected));
}

TEST(BoardControlLine, InjectHoldsWhatTheReceiveQueueHolds) {
    const std::string full(injectCapacity, 'z');
    const std::string over = full + "z";
    for (const BoardControlFace face : allFaces) {
        EXPECT_EQ(parseBoardControl(("inject " + full).c_str(), face).size, injectCapacity);
    }
    // The events file always took any length; no more than the queue holds can arrive anyway.
    EXPECT_EQ(parseBoardControl(("inject " + over).c_str(), BoardControlFace::Events).size, injectCapacity);
    EXPECT_EQ(parseBoardControl(("inject " + over).c_str(), BoardControlFace::Console).kind, BoardControlKind::Invalid);
}

TEST(BoardControlLine, AnErrorTextIsCutToItsBufferAndStillMeasured) {
    const BoardControl control = parseBoardControl("input 12", BoardControlFace::Console);
    char small[8];
    EXPECT_EQ(describeBoardControlError(control, small, sizeof small), reasonOf(control).size());
    EXPECT_STREQ(small, "bad inp");
}

TEST(ByteEscapes, EncodeAsTheTraceDoesAndReadBackEveryByte) {
    char text[4 * 256 + 1];
    const unsigned char frame[] = {'R', '0', '\\', ' ', '~', 0x7F, 0x0D, 0x81};
    formatEscapedBytes(frame, sizeof frame, text, sizeof text);
    EXPECT_STREQ(text, "R0\\x5C ~\\x7F\\x0D\\x81");

    unsigned char every[256];
    for (int i = 0; i < 256; ++i) every[i] = static_cast<unsigned char>(i);
    const size_t length = formatEscapedBytes(every, sizeof every, text, sizeof text);
    unsigned char back[256];
    size_t size = 0;
    ASSERT_TRUE(decodeEscapedBytes(text, length, back, sizeof back, size));
    ASSERT_EQ(size, sizeof every);
    EXPECT_EQ(std::memcmp(back, every, size), 0);
}

TEST(ByteEscapes, HandTypedEscapesAndBadOnes) {
    struct Case {
        const char* text;
        bool valid;
        std::string bytes;
    } cases[] = {
        {"\\r\\n\\\\", true, "\r\n\\"},
        {"\\x0d\\x0D", true, "\r\r"},
        {"", true, ""},
        {"\\x4", false, ""},
        {"\\x", false, ""},
        {"\\", false, ""},
        {"\\xG0", false, ""},
        {"\\t", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        unsigned char bytes[16];
        size_t size = 0;
        EXPECT_EQ(decodeEscapedBytes(c.text, std::strlen(c.text), bytes, sizeof bytes, size), c.valid);
        if (c.valid) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size), c.bytes);
        }
    }
}

TEST(ByteEscapes, AShortBufferCutsAtAWholeByte) {
    const unsigned char bytes[] = {'A', 'B', 0x0D};
    char text[6];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(formatEscapedBytes(bytes, sizeof bytes, text, 5), 2u);  // "\x0D" needs four more
    EXPECT_STREQ(text, "AB");
    unsigned char stored[2];
    size_t size = 0;
    EXPECT_TRUE(decodeEscapedBytes("abc", 3, stored, sizeof stored, size));
    EXPECT_EQ(size, 3u);  // counted, though only two fit
}

// The one place a control changes the board: each line lands on the session's own state.
TEST(ApplyBoardControl, EachLineSetsItsSwitch) {
    test::TestClock clock;
    BoardSession session(clock);
    const auto apply = [&](const char* line) {
        return applyBoardControl(session, parseBoardControl(line, BoardControlFace::Console));
    };
    EXPECT_TRUE(apply("input 0000A5"));
    EXPECT_EQ(session.model.inputs, 0xA5u);
    apply("latency 42");
    EXPECT_EQ(session.latencyMilliseconds, 42);
    apply("mute");
    EXPECT_TRUE(session.model.muted);
    apply("unmute");
    EXPECT_FALSE(session.model.muted);
    for (const char* call : {"open", "write", "status", "read"}) {
        apply((std::string("fail ") + call).c_str());
    }
    EXPECT_TRUE(session.faults.openFails && session.faults.writeFails && session.faults.statusFails &&
                session.faults.readFails);
    apply("heal write");
    EXPECT_FALSE(session.faults.writeFails);
    apply("serial ZZ");
    EXPECT_STREQ(session.model.serialNumber, "ZZ");
    apply("unplug");
    EXPECT_FALSE(session.listed());
    apply("plug");
    EXPECT_TRUE(session.listed());
}

}  // namespace
}  // namespace kt57
