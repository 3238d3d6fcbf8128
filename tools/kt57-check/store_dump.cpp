#include "tools/kt57-check/store_dump.h"

#include <cstdio>

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
            const auto byte = static_cast<unsigned char>(line.text[column]);
            if (byte < 0x20 || byte > 0x7E || byte == '\\') {
                std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
                out += buffer;
            } else {
                out += static_cast<char>(byte);
            }
        }
        out += "|\n";
    }
    std::snprintf(buffer, sizeof buffer, "lines %d\n", static_cast<int>(store.lineCount));
    out += buffer;
    return out;
}

}  // namespace kt57
