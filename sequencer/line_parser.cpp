#include "sequencer/line_parser.h"

#include <cstring>

#include "device/hex.h"
#include "sequencer/loader.h"
#include "sequencer/opcode.h"

namespace kt57 {

namespace {

constexpr int maxLabelDigits = 3;
constexpr int maxIndentation = 4;
constexpr int maxLiteralDigits = 7;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A '<' literal at column j: writes its five hexadecimal digits into columns 3-7, OR-ed into any
// hexadecimal digits already there, so that a decimal number fills a device command's value.
void applyDecimalLiteral(const char* piece, int length, int position, int j, char (&text)[16]) {
    for (int k = j; k < textColumns; ++k) {
        text[k] = ' ';
    }
    if (j == 2) {
        text[2] = '0';
    }
    ++position;  // past the '<'
    bool negative = false;
    if (position < length && piece[position] == '-') {
        negative = true;
        ++position;
    }
    uint32_t n = 0;
    for (int digits = 0; digits < maxLiteralDigits && position < length && isDigit(piece[position]); ++digits) {
        n = n * 10 + static_cast<uint32_t>(piece[position++] - '0');
    }
    // The eight-digit text of this value supplies its digits 3-7; the digit of 0x100000 drops out.
    const uint32_t value = negative ? 0x20000000u - n : 0x10000000u + n;
    for (int k = 3; k <= 7; ++k) {
        const int32_t written = text[k] == ' ' ? 0 : parseHex(1, &text[k]);
        if (written < 0) {
            break;
        }
        const uint32_t digit = (value >> (4 * (7 - k))) & 0xF;
        text[k] = upperHexDigits[static_cast<uint32_t>(written) | digit];
    }
}

}  // namespace

int32_t classifyText(const char (&text)[16]) {
    for (const OpCodeInfo& info : opCodeTable) {
        if (std::memcmp(text, info.mnemonic, info.columnsTested) == 0) {
            return info.code;
        }
    }
    return DeviceCommandLine;
}

LineLayout parseProgramLine(const char* piece, int length, ProgramLine& line) {
    line.target = -1;
    line.operand = -1;
    int position = 0;

    int32_t label = 0;
    while (position < maxLabelDigits && position < length && isDigit(piece[position])) {
        label = label * 10 + (piece[position++] - '0');
    }
    line.label = label;

    for (int skipped = 0; skipped < maxIndentation && position < length &&
                          (piece[position] == ' ' || piece[position] == '\t');
         ++skipped) {
        ++position;
    }

    LineLayout layout{position, position, TextEnd::Full};
    int j = 0;
    for (; j < textColumns; ++j, ++position) {
        // A last line without a newline ends at the end of the piece as if it had one.
        if (position >= length || piece[position] == '\n') {
            layout.end = TextEnd::LineEnd;
            break;
        }
        if (piece[position] == '/') {
            layout.end = TextEnd::Comment;
            break;
        }
        if (piece[position] == '<' && j >= 2) {
            layout.end = TextEnd::Literal;
            applyDecimalLiteral(piece, length, position, j, line.text);
            j = textColumns;
            break;
        }
        line.text[j] = piece[position];
    }
    layout.restStart = position;
    for (; j < textColumns; ++j) {
        line.text[j] = ' ';
    }
    line.text[textColumns] = '\0';

    line.opcode = classifyText(line.text);
    // 0 marks a reference that resolution fills in once every label is known.
    if (const OpCodeInfo* info = findOpCodeInfo(line.opcode)) {
        if (info->kind == OperandKind::Target) {
            line.target = 0;
        } else if (info->kind == OperandKind::Operand) {
            line.operand = 0;
        }
    }
    return layout;
}

}  // namespace kt57
