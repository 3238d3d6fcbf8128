#include "sequencer/line_text.h"

#include "device/byte_escapes.h"

namespace kt57 {

std::string shownLineText(const ProgramStore& program, int32_t line) {
    if (line < 0 || line >= program.lineCount) return {};
    const char* text = program.lines[line].text;
    size_t size = 0;
    while (size < static_cast<size_t>(textColumns) && text[size] != '\0') ++size;
    while (size > 0 && text[size - 1] == ' ') --size;
    char escaped[textColumns * escapedByteLength + 1];
    const size_t length =
        formatEscapedBytes(reinterpret_cast<const unsigned char*>(text), size, escaped, sizeof escaped);
    return std::string(escaped, length);
}

}  // namespace kt57
