// The loaded sequence program: fixed tables, filled once at start-up, read-only afterwards.
#pragma once
#include <cstdint>

namespace kt57 {

constexpr int maxProgramLines = 256;
constexpr int textColumns = 11;  // instruction text width; column 11 holds the NUL

struct ProgramLine {
    char text[16];    // columns 0-10 blank-padded text, column 11 NUL, 12-15 zero
    int32_t label;    // 0-999, 0 = no label
    int32_t target;   // -1 = no jump; else line index, lineCount = the end
    int32_t operand;  // -1 = none or invalid; else 0..0xFFFFFF
    int32_t opcode;   // an OpCode value

    bool operator==(const ProgramLine&) const = default;
};

struct ProgramStore {
    ProgramLine lines[maxProgramLines];
    int32_t lineCount;

    bool operator==(const ProgramStore&) const = default;
};

}  // namespace kt57
