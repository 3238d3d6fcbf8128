// The instruction set as a reference card: one line per opcode, its operand and its meaning.
// Mnemonics are tested on the finished 11-column text, in table order; the first match wins.
#pragma once
#include <cstdint>

namespace kt57 {

enum OpCode : int32_t {
    DeviceCommandLine = 0,  // anything else   columns 0-7 are sent to the board
    Jmp = 1,             // "JMP " target   jump
    Pol = 2,             // "POL " operand  polarityMask = operand
    And = 3,             // "AND " operand  cond = (in & op) == op
    Or = 4,              // "OR  " operand  cond = (in & op) != 0
    OrShort = 5,         // "OR "  operand  same as OR, operand from column 3
    Jng = 6,             // "JNG " target   jump when cond == 0
    Jok = 7,             // "JOK " target   jump when cond != 0
    AndOutput = 10,      // "AN@ " operand  out &= operand
    OrOutput = 11,       // "OR@ " operand  out |= operand
    Set = 20,            // "SET " digits   loopCounter = n when n > 0
    Dec = 21,            // "DEC"           loopCounter -= 1, floor 0
    Jnz = 22,            // "JNZ " target   jump when loopCounter != 0
    Jz = 23,             // "JZ  " target   jump when loopCounter == 0
    JzShort = 24,        // "JZ "  target   same as JZ, label from column 3
    Fst = 30,            // "FST " operand  flags |= operand (operand > 0)
    Fmk = 31,            // "FMK " operand  flags &= operand (operand > 0)
    Fch = 32,            // "FCH " operand  cond = (flags & op) != 0 (operand > 0)
    Nop = 90,            // "NOP"           nothing
    Slp = 91,            // "SLP " seconds  sleep in 100 ms ticks
    Blank = 99,          // a blank         blank line, passed over
};

enum class OperandKind : uint8_t { None, Target, Operand };

struct OpCodeInfo {
    OpCode code;
    const char* mnemonic;  // the exact characters tested
    uint8_t columnsTested;  // 4, 3, or 1 (the blank line)
    OperandKind kind;
    uint8_t argumentColumn;  // where the label or the hexadecimal operand starts
};

// Classification order; the device command (no mnemonic) is not in the table.
inline constexpr OpCodeInfo opCodeTable[] = {
    {Jmp, "JMP ", 4, OperandKind::Target, 4},
    {Pol, "POL ", 4, OperandKind::Operand, 4},
    {And, "AND ", 4, OperandKind::Operand, 4},
    {Or, "OR  ", 4, OperandKind::Operand, 4},
    {OrShort, "OR ", 3, OperandKind::Operand, 3},
    {Jng, "JNG ", 4, OperandKind::Target, 4},
    {Jok, "JOK ", 4, OperandKind::Target, 4},
    {AndOutput, "AN@ ", 4, OperandKind::Operand, 4},
    {OrOutput, "OR@ ", 4, OperandKind::Operand, 4},
    {Set, "SET ", 4, OperandKind::None, 4},
    {Dec, "DEC", 3, OperandKind::None, 0},
    {Jnz, "JNZ ", 4, OperandKind::Target, 4},
    {Jz, "JZ  ", 4, OperandKind::Target, 4},
    {JzShort, "JZ ", 3, OperandKind::Target, 3},
    {Fst, "FST ", 4, OperandKind::Operand, 4},
    {Fmk, "FMK ", 4, OperandKind::Operand, 4},
    {Fch, "FCH ", 4, OperandKind::Operand, 4},
    {Nop, "NOP", 3, OperandKind::None, 0},
    {Slp, "SLP ", 4, OperandKind::None, 4},
    {Blank, " ", 1, OperandKind::None, 0},
};
static_assert(sizeof(opCodeTable) / sizeof(opCodeTable[0]) == 20, "one row per mnemonic");

// The table row of an opcode, or nullptr for a device command or an unknown value.
constexpr const OpCodeInfo* findOpCodeInfo(int32_t code) {
    for (const OpCodeInfo& info : opCodeTable) {
        if (info.code == code) return &info;
    }
    return nullptr;
}

namespace opcode_table_checks {
constexpr int rowOf(int32_t code) {
    for (int row = 0; row < static_cast<int>(sizeof(opCodeTable) / sizeof(opCodeTable[0])); ++row) {
        if (opCodeTable[row].code == code) return row;
    }
    return -1;
}
constexpr bool eachCodeOnce() {
    for (const OpCodeInfo& a : opCodeTable) {
        int count = 0;
        for (const OpCodeInfo& b : opCodeTable) count += a.code == b.code;
        if (count != 1) return false;
    }
    return true;
}
}  // namespace opcode_table_checks
static_assert(opcode_table_checks::eachCodeOnce(), "each opcode has exactly one row");
// The two-blank forms must be tried first, or "OR  " and "JZ  " would read as their short forms.
static_assert(opcode_table_checks::rowOf(Or) < opcode_table_checks::rowOf(OrShort), "OR  before OR ");
static_assert(opcode_table_checks::rowOf(Jz) < opcode_table_checks::rowOf(JzShort), "JZ  before JZ ");

}  // namespace kt57
