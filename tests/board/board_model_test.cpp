// The board's protocol, by value.
#include <gtest/gtest.h>

#include <string>

#include "board/board_model.h"

namespace kt57 {
namespace {

struct Exchange {
    const char* command;  // 9 bytes
    bool muted;
    bool answered;
    const char* reply;    // when answered
    uint32_t outputs;     // afterwards, starting from 0x111111
};

TEST(BoardModel, AnswersWriteAndReadCommands) {
    const Exchange cases[] = {
        {"W0abCDef\r", false, true, "U0ABCDEF\r", 0xABCDEF},
        {"Wx000000\r", false, true, "Ux000000\r", 0x000000},
        {"R7zzzzzz\r", false, true, "R700A5F0\r", 0x111111},
        {"W01234G6\r", false, false, "", 0x111111},  // invalid digit: ignored entirely
        {"W0 23456\r", false, false, "", 0x111111},
        {"w0123456\r", false, false, "", 0x111111},  // command letters are exact
        {"r0000000\r", false, false, "", 0x111111},
        {"X0123456\r", false, false, "", 0x111111},
        {"W0123456X", false, false, "", 0x111111},   // no CR at the end
        {"W0123456\r", true, false, "", 0x123456},   // muted: outputs set, no answer
        {"R0000000\r", true, false, "", 0x111111},
    };
    for (const Exchange& c : cases) {
        SCOPED_TRACE(c.command);
        BoardModel model;
        model.outputs = 0x111111;
        model.inputs = 0xFF00A5F0;  // bits above 24 are not part of the board
        model.muted = c.muted;
        unsigned char reply[9] = {};
        EXPECT_EQ(model.answerCommand(reinterpret_cast<const unsigned char*>(c.command), reply), c.answered);
        if (c.answered) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 9), c.reply);
        }
        EXPECT_EQ(model.outputs, c.outputs);
    }
}

}  // namespace
}  // namespace kt57
