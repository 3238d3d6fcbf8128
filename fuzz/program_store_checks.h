// What every loaded program satisfies, whatever bytes it was loaded from. Shared by the fuzz
// targets that load programs.
#pragma once
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "sequencer/opcode.h"
#include "sequencer/program_store.h"

namespace kt57::fuzz {

inline const OpCodeInfo* classify(const char* text) {
    for (const OpCodeInfo& info : opCodeTable) {
        if (std::memcmp(text, info.mnemonic, info.columnsTested) == 0) return &info;
    }
    return nullptr;  // a device command
}

// The label written at s resolved the way jumps are: 0, missing or unknown give lineCount.
inline int32_t expectedTarget(const ProgramStore& store, const char* s, int32_t self) {
    int32_t label = 0;
    for (int i = 0; i < 3 && s[i] >= '0' && s[i] <= '9'; ++i) label = label * 10 + (s[i] - '0');
    if (label == 0) return store.lineCount;
    for (int32_t i = 0; i < store.lineCount; ++i) {
        if (store.lines[i].label == label) return i == self ? store.lineCount : i;
    }
    return store.lineCount;
}

inline int32_t expectedOperand(const char* s) {
    int32_t value = 0;
    for (int i = 0; i < 6; ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') value = value * 16 + (c - '0');
        else if (c >= 'A' && c <= 'F') value = value * 16 + (c - 'A' + 10);
        else return -1;
    }
    return value;
}

inline void checkProgramStore(const ProgramStore& store) {
    KT57_FUZZ_CHECK(store.lineCount >= 0 && store.lineCount <= maxProgramLines);
    for (int32_t i = 0; i < store.lineCount; ++i) {
        const ProgramLine& line = store.lines[i];
        KT57_FUZZ_CHECK(line.text[textColumns] == '\0');
        for (int column = textColumns + 1; column < 16; ++column) KT57_FUZZ_CHECK(line.text[column] == '\0');
        KT57_FUZZ_CHECK(line.label >= 0 && line.label <= 999);
        const OpCodeInfo* info = classify(line.text);
        KT57_FUZZ_CHECK(line.opcode == (info != nullptr ? info->code : DeviceCommandLine));
        const OperandKind kind = info != nullptr ? info->kind : OperandKind::None;
        if (kind == OperandKind::Target) {
            KT57_FUZZ_CHECK(line.target >= 0 && line.target <= store.lineCount && line.target != i);
            KT57_FUZZ_CHECK(line.target == expectedTarget(store, line.text + info->argumentColumn, i));
        } else {
            KT57_FUZZ_CHECK(line.target == -1);
        }
        if (kind == OperandKind::Operand) {
            KT57_FUZZ_CHECK(line.operand == expectedOperand(line.text + info->argumentColumn));
        } else {
            KT57_FUZZ_CHECK(line.operand == -1);
        }
    }
    // Entries past the program stay zero; the one at lineCount is marked as no jump, no operand.
    for (int32_t i = store.lineCount; i < maxProgramLines; ++i) {
        const ProgramLine& line = store.lines[i];
        const int32_t expectedMark = i == store.lineCount ? -1 : 0;
        KT57_FUZZ_CHECK(line.target == expectedMark && line.operand == expectedMark);
        KT57_FUZZ_CHECK(line.opcode == 0 && line.label == 0);
        for (char c : line.text) KT57_FUZZ_CHECK(c == '\0');
    }
}

inline bool sameStore(const ProgramStore& a, const ProgramStore& b) {
    if (a.lineCount != b.lineCount) return false;
    for (int32_t i = 0; i < maxProgramLines; ++i) {
        const ProgramLine& x = a.lines[i];
        const ProgramLine& y = b.lines[i];
        if (std::memcmp(x.text, y.text, sizeof x.text) != 0 || x.label != y.label || x.target != y.target ||
            x.operand != y.operand || x.opcode != y.opcode)
            return false;
    }
    return true;
}

}  // namespace kt57::fuzz
