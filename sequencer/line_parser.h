// Turning one piece of the program file into a ProgramLine: label, indentation, text, literal, opcode.
#pragma once
#include <cstdint>

#include "sequencer/program_store.h"

namespace kt57 {

// Why the copy into the text stopped.
enum class TextEnd : uint8_t {
    LineEnd,  // the newline, or the end of a last line that has none
    Comment,  // a '/'
    Literal,  // a '<' at column 2 or later
    Full,     // 11 columns copied; the rest of the piece is ignored
};

// Where the parts of the text came from in the piece, for tools that explain a line.
struct LineLayout {
    int textStart;  // piece position of text column 0
    int restStart;  // piece position of the newline, '/', '<', or the first character after column 10
    TextEnd end;
};

// Parses piece[0..length) into line (label, text, opcode, pending target and operand).
// The piece is one read of at most 99 characters; a '\n' can only be its last character.
LineLayout parseProgramLine(const char* piece, int length, ProgramLine& line);

// The OpCode that the mnemonic table gives the finished text.
int32_t classifyText(const char (&text)[16]);

}  // namespace kt57
