// What a reply frame does to the registers.
#include <gtest/gtest.h>

#include "sequencer/reply.h"

namespace kt57 {
namespace {

const unsigned char* bytesOf(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

TEST(ApplyReply, TypeLetterDecidesWhichRegistersTakeTheValue) {
    struct Case {
        const char* frame;
        int32_t polarity;
        int32_t output;
        int32_t input;
    } cases[] = {
        {"U0ABCDEF\r", 0, 0xABCDEF, 0x555555},
        {"R?000001\r", 0x000001, 0x000001, 0x000000},
        {"R?F0F0F0\r", 0xFFFFFF, 0xF0F0F0, 0x0F0F0F},
        {"u0000012\r", 0xFFFFFF, 0x000012, 0x000012},
        {"r0000012\r", 0xFFFFFF, 0x000012, 0x000012},
        {"X0000012\r", 0xFFFFFF, 0x000012, 0x000012},
        {"\0" "0000012\r", 0, 0x000012, 0x000012},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame + 1);
        MachineState machine;
        machine.outputRegister = 0x333333;
        machine.inputRegister = 0x555555;
        machine.polarityMask = c.polarity;
        applyReply(machine, bytesOf(c.frame));
        EXPECT_EQ(machine.outputRegister, c.output);
        EXPECT_EQ(machine.inputRegister, c.input);
    }
}

TEST(ApplyReply, InvalidValueFieldChangesNothing) {
    for (const char* frame : {"U0abcdef\r", "R0ABCDEf\r", "U0 12345\r", "U012345G\r", "R0-12345\r", "X0\0" "23456\r"}) {
        SCOPED_TRACE(frame);
        MachineState machine;
        machine.outputRegister = 0x333333;
        machine.inputRegister = 0x555555;
        applyReply(machine, bytesOf(frame));
        EXPECT_EQ(machine.outputRegister, 0x333333);
        EXPECT_EQ(machine.inputRegister, 0x555555);
    }
}

}  // namespace
}  // namespace kt57
