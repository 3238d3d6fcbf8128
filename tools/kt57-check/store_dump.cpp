#include "tools/kt57-check/store_dump.h"

#include <cstdio>

#include "device/byte_escapes.h"

namespace kt57 {

std::string dumpStore(const ProgramStore& store) {
    std::string out;
    char buffer[96];
    for (int32_t i = 0; i < store.lineCount; ++i) {
        const ProgramLine& line = store.lines[i];
        std::snprintf(buffer, sizeof buffer, "%d %d %d %d %d |", static_cast<int>(i), static_cast<int>(line.label),
                      static_cast<int>(line.opcode), static_cast<int>(line.target), static_cast<int>(line.operand));
        out += buffer;
        for (int column = 0; column < textColumns; ++column) {
            char escaped[escapedByteLength];
            out.append(escaped, escapeByte(static_cast<unsigned char>(line.text[column]), escaped));
        }
        out += "|\n";
    }
    std::snprintf(buffer, sizeof buffer, "lines %d\n", static_cast<int>(store.lineCount));
    out += buffer;
    return out;
}

}  // namespace kt57
