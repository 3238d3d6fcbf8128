#include "platform/win32/substitute/board_config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/virtual_board.h"
#include "device/clock.h"

namespace kt57 {
namespace {

struct Problem {
    int line;
    std::string message;
};

void collect(void* context, int lineNumber, const char* message) {
    static_cast<std::vector<Problem>*>(context)->push_back({lineNumber, message});
}

class ManualClock : public Clock {
public:
    int64_t nowMilliseconds() override { return now; }
    int64_t now = 0;
};

int parse(const std::string& text, BoardConfig& config, std::vector<Problem>& problems) {
    return parseBoardConfig(text.data(), text.size(), config, collect, &problems);
}

TEST(BoardConfig, ReadsEveryKeyWithCommentsBlanksAndCrLf) {
    BoardConfig config;
    std::vector<Problem> problems;
    const std::string text =
        "# the board\r\n\r\n  serial = AB123456  \r\ninputs=a5 # two inputs\r\nlatency = 250\r\nmuted = 1\r\n"
        "unplugged = 1\r\nopenFails = 1\r\nwriteFails = 1\r\nstatusFails = 1\r\nreadFails = 1";
    EXPECT_EQ(parse(text, config, problems), 0);
    EXPECT_TRUE(problems.empty());
    EXPECT_STREQ(config.serialNumber, "AB123456");
    EXPECT_EQ(config.inputs, 0xA5u);
    EXPECT_EQ(config.latencyMilliseconds, 250);
    EXPECT_TRUE(config.muted);
    EXPECT_TRUE(config.faults.unplugged && config.faults.openFails && config.faults.writeFails &&
                config.faults.statusFails && config.faults.readFails);
}

TEST(BoardConfig, ABadLineIsReportedWithItsNumberAndChangesNothing) {
    struct Case {
        const char* line;
        const char* messagePart;
    };
    const Case cases[] = {
        {"serial = AB1234567", "serial"},       // nine characters
        {"serial = AB 12345", "serial"},        // a blank inside
        {"serial =", "serial"},
        {"inputs = 1000000", "inputs"},         // seven digits
        {"inputs = 00G000", "inputs"},
        {"latency = 10001", "latency"},
        {"latency = -1", "latency"},
        {"muted = yes", "muted"},
        {"colour = red", "unknown key 'colour'"},
        {"serial = AB 12345 = 6", "serial"},
        {"colour red", "unknown command 'colour'"},  // not a control line either
        {"Serial = AB123456", "unknown key"},   // keys are case-sensitive
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        BoardConfig config;
        std::vector<Problem> problems;
        EXPECT_EQ(parse(std::string("# first\n") + c.line + "\ninputs = 3\n", config, problems), 1);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].line, 2);
        EXPECT_NE(problems[0].message.find(c.messagePart), std::string::npos) << problems[0].message;
        const BoardConfig defaults;
        EXPECT_STREQ(config.serialNumber, defaults.serialNumber);
        EXPECT_EQ(config.latencyMilliseconds, defaults.latencyMilliseconds);
        EXPECT_FALSE(config.muted);
        EXPECT_EQ(config.inputs, 3u);  // the lines around it still count
    }
}

// The control lines every face takes, and the older "key = value" lines, set the same board.
TEST(BoardConfig, ControlLinesAndKeyValueLinesMeanTheSame) {
    struct Pair {
        const char* control;
        const char* legacy;
    } pairs[] = {
        {"serial AB123456", "serial = AB123456"},
        {"input 0000a5", "inputs = a5"},
        {"latency 250", "latency = 250"},
        {"mute", "muted = 1"},
        {"unplug", "unplugged = 1"},
        {"fail open", "openFails = 1"},
        {"fail write", "writeFails = 1"},
        {"fail status", "statusFails = 1"},
        {"fail read", "readFails = 1"},
    };
    const auto same = [](const BoardConfig& a, const BoardConfig& b) {
        return std::strcmp(a.serialNumber, b.serialNumber) == 0 && a.inputs == b.inputs &&
               a.latencyMilliseconds == b.latencyMilliseconds && a.muted == b.muted &&
               a.faults.unplugged == b.faults.unplugged && a.faults.openFails == b.faults.openFails &&
               a.faults.writeFails == b.faults.writeFails && a.faults.statusFails == b.faults.statusFails &&
               a.faults.readFails == b.faults.readFails;
    };
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(pair.control);
        BoardConfig byControl;
        BoardConfig byKey;
        std::vector<Problem> problems;
        EXPECT_EQ(parse(pair.control, byControl, problems), 0);
        EXPECT_EQ(parse(pair.legacy, byKey, problems), 0);
        EXPECT_TRUE(same(byControl, byKey));
        EXPECT_FALSE(same(byControl, BoardConfig{}));
    }
    // A switch written 0 is the control that undoes it.
    BoardConfig config;
    std::vector<Problem> problems;
    EXPECT_EQ(parse("fail read\nreadFails = 0\nunplug\nunplugged = 0\n", config, problems), 0);
    EXPECT_FALSE(config.faults.readFails || config.faults.unplugged);
}

TEST(BoardConfig, InjectLinesArePushedEachTimeTheFileIsApplied) {
    ManualClock clock;
    VirtualBoard board(clock);
    BoardConfig config;
    std::vector<Problem> problems;
    ASSERT_EQ(parse("inject U0\\x0D # a short frame\ninject \\x23\n", config, problems), 0);
    FT_HANDLE handle = nullptr;
    char serial[] = "VB000001";
    ASSERT_EQ(board.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    applyBoardConfig(config, board.session);
    EXPECT_EQ(board.queuedBytes(), 4u);  // "U0", CR and '#'
}

TEST(BoardConfig, EmptyOrMissingTextLeavesTheDefaults) {
    BoardConfig config;
    EXPECT_EQ(parseBoardConfig(nullptr, 0, config), 0);
    EXPECT_EQ(parseBoardConfig("", 0, config), 0);
    EXPECT_STREQ(config.serialNumber, "VB000001");
}

// What the substitute DLL does: the parsed configuration is what the board answers with.
TEST(BoardConfig, AppliedToTheBoardItSetsSerialInputsAndUnplugging) {
    ManualClock clock;
    VirtualBoard board(clock);
    BoardConfig config;
    const std::string text = "serial = AB123456\ninputs = 00000F\nlatency = 5\n";
    ASSERT_EQ(parseBoardConfig(text.data(), text.size(), config), 0);
    applyBoardConfig(config, board.session);

    char serial[listedSerialCapacity] = {};
    ASSERT_EQ(board.FT_ListDevices(nullptr, serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
    EXPECT_STREQ(serial, "AB123456");
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(board.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    const unsigned char read[] = "RA000000\r";
    uint32_t count = 0;
    ASSERT_EQ(board.FT_Write(handle, read, 9, &count), FT_OK);
    clock.now = 4;
    EXPECT_EQ(board.queuedBytes(), 0u);  // the latency came from the file
    clock.now = 5;
    unsigned char reply[10] = {};
    ASSERT_EQ(board.FT_Read(handle, reply, 9, &count), FT_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 9), "RA00000F\r");

    // Unplugging through the file kills the open handle; plugging back lets a new open succeed.
    config.faults.unplugged = true;
    applyBoardConfig(config, board.session);
    EXPECT_NE(board.FT_Write(handle, read, 9, &count), FT_OK);
    EXPECT_NE(board.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    config.faults.unplugged = false;
    applyBoardConfig(config, board.session);
    EXPECT_EQ(board.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
}

}  // namespace
}  // namespace kt57
