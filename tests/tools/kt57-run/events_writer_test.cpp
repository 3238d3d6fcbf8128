// Every event the writer writes reads back through the events file's parser as the same event.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/events_writer.h"

namespace kt57::test {
namespace {

HeadlessEvent boardEvent(int64_t at, const char* line) {
    HeadlessEvent event = HeadlessEvent::of(at, HeadlessEventKind::Board);
    event.board = parseBoardControl(line, BoardControlFace::Events);
    return event;
}

// One of each kind, with the values that need care: a '#' key (a comment word), codes without a
// character, both modifiers, blanks, backslashes and a leading '#' in injected bytes.
std::vector<HeadlessEvent> everyKind() {
    return {
        HeadlessEvent::key(0, 'G'),          HeadlessEvent::key(1, '#'),
        HeadlessEvent::key(2, 13),           HeadlessEvent::key(3, 27),
        HeadlessEvent::key(4, ' '),          HeadlessEvent::key(5, 0x3042),
        HeadlessEvent::post(6, 'A'),         HeadlessEvent::post(7, 'P'),
        HeadlessEvent::click(8, 210, 130),   HeadlessEvent::click(9, 0, 65535, true, true),
        HeadlessEvent::click(10, 5, 6, false, true, true),
        HeadlessEvent::of(11, HeadlessEventKind::Paint),
        HeadlessEvent::of(12, HeadlessEventKind::Menu, 40001),
        HeadlessEvent::of(13, HeadlessEventKind::Close),
        HeadlessEvent::of(14, HeadlessEventKind::Input, 0xABCDEF),
        HeadlessEvent::of(15, HeadlessEventKind::Latency, 1000000000),
        HeadlessEvent::of(16, HeadlessEventKind::Unplug), HeadlessEvent::of(17, HeadlessEventKind::Plug),
        HeadlessEvent::of(18, HeadlessEventKind::Mute),   HeadlessEvent::of(19, HeadlessEventKind::Unmute),
        HeadlessEvent::inject(20, "#W0 \\1\r\n\x7F"),
        boardEvent(21, "fail open"),         boardEvent(22, "heal read"),
        boardEvent(23, "fail write"),        boardEvent(24, "heal status"),
        boardEvent(25, "serial AB12"),
        HeadlessEvent::of(26, HeadlessEventKind::Screen), HeadlessEvent::of(9007199254740992, HeadlessEventKind::State),
    };
}

void expectSame(const HeadlessEvent& read, const HeadlessEvent& written, const std::string& line) {
    EXPECT_EQ(read.at, written.at) << line;
    EXPECT_EQ(read.kind, written.kind) << line;
    EXPECT_EQ(read.code, written.code) << line;
    EXPECT_EQ(read.x, written.x) << line;
    EXPECT_EQ(read.y, written.y) << line;
    EXPECT_EQ(read.control, written.control) << line;
    EXPECT_EQ(read.shift, written.shift) << line;
    EXPECT_EQ(read.bytes, written.bytes) << line;
    EXPECT_EQ(read.board.kind, written.board.kind) << line;
    EXPECT_EQ(read.board.call, written.board.call) << line;
    EXPECT_EQ(std::string(read.board.serialNumber), std::string(written.board.serialNumber)) << line;
}

TEST(EventsWriter, EveryKindReadsBackAsTheSameEvent) {
    const std::vector<HeadlessEvent> events = everyKind();
    std::string text;
    for (const HeadlessEvent& event : events) text += eventLine(event) + "\n";
    std::vector<HeadlessEvent> read;
    std::string error;
    ASSERT_TRUE(parseEvents(text, "written", read, error)) << error << "\n" << text;
    ASSERT_EQ(read.size(), events.size()) << text;
    for (size_t i = 0; i < events.size(); ++i) expectSame(read[i], events[i], eventLine(events[i]));
}

TEST(EventsWriter, WritesTheGrammarsOwnWords) {
    EXPECT_EQ(eventLine(HeadlessEvent::key(1500, 'G')), "1500 key G");
    EXPECT_EQ(eventLine(HeadlessEvent::key(0, '#')), "0 key code 35");
    EXPECT_EQ(eventLine(HeadlessEvent::of(2000, HeadlessEventKind::Input, 8)), "2000 input 000008");
    EXPECT_EQ(eventLine(HeadlessEvent::inject(3, "W0 1\r")), "3 inject W0\\x201\\x0D");
    EXPECT_EQ(eventLine(boardEvent(4, "fail write")), "4 fail write");
}

}  // namespace
}  // namespace kt57::test
