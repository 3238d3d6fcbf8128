// The board's logs: kt57-board's frame log lines and the time stamp FTD2XX.log shares, exactly as
// people and the Wine test read them.
#include "board/board_log.h"

#include <gtest/gtest.h>

#include <string>

namespace kt57 {
namespace {

TEST(BoardLog, EventsWorthLoggingBecomeOneLineEach) {
    const unsigned char command[] = "W00FF00\r";
    const unsigned char garbage[] = {'U', 0x5C, 0x00};
    const struct {
        BoardEvent event;
        const char* line;  // nullptr: left out
    } cases[] = {
        {{BoardEventKind::Command, 1012, command, 8, 0}, "   1.012  command    W00FF00\\x0D"},
        {{BoardEventKind::ReplyDelivered, 13, command, 8, 0}, "   0.013  reply      W00FF00\\x0D"},
        {{BoardEventKind::Injected, 12345678, garbage, 3, 0}, "12345.678  injected   U\\x5C\\x00"},
        {{BoardEventKind::Silent, 0, command, 8, 0}, "   0.000  no reply   W00FF00\\x0D"},
        {{BoardEventKind::Inputs, 1, nullptr, 0, 0x00A0F1}, "   0.001  inputs     00A0F1"},
        {{BoardEventKind::Plugged, 2, nullptr, 0, 0}, "   0.002  plugged    /dev/pts/7"},
        {{BoardEventKind::Unplugged, 3, nullptr, 0, 0}, "   0.003  unplugged"},
        {{BoardEventKind::ReplyQueued, 4, command, 8, 0}, nullptr},
        {{BoardEventKind::Outputs, 5, nullptr, 0, 0xFF00}, nullptr},
    };
    for (const auto& c : cases) {
        char line[256] = "untouched";
        const bool logged = formatBoardEvent(c.event, 0, "/dev/pts/7", line, sizeof line);
        if (c.line == nullptr) {
            EXPECT_FALSE(logged) << static_cast<int>(c.event.kind);
        } else {
            EXPECT_TRUE(logged);
            EXPECT_EQ(std::string(line), c.line);
        }
    }
}

TEST(BoardLog, ElapsedSecondsKeepTheirDecimals) {
    const struct {
        int64_t elapsed;
        int64_t unitsPerSecond;
        int width;
        const char* text;
    } cases[] = {
        {12, 1000, 4, "   0.012"},
        {61001, 1000, 4, "  61.001"},
        {12345678, 1000000, 1, "12.345678"},
        {7, 1000000, 1, "0.000007"},
    };
    for (const auto& c : cases) {
        char text[32];
        formatElapsedSeconds(c.elapsed, c.unitsPerSecond, c.width, text, sizeof text);
        EXPECT_EQ(std::string(text), c.text);
    }
}

}  // namespace
}  // namespace kt57
