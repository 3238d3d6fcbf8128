// Text-mode reading of the program file, done here so that it is the same on every platform.
#pragma once
#include <cstddef>

namespace kt57 {

// The longest piece one read takes: a longer physical line becomes several program lines.
constexpr int maxPieceCharacters = 99;

// A cursor over the file's raw bytes. CR LF reads as one '\n', a lone CR is an ordinary
// character, and Ctrl-Z (0x1A) ends the file wherever it stands.
struct TextModeReader {
    const char* bytes = nullptr;
    size_t size = 0;
    size_t position = 0;
};

// Reads the next piece: characters up to and including '\n', at most maxPieceCharacters of them,
// NUL-terminated in piece. Returns the number of characters; 0 at the end of the file.
int readPiece(TextModeReader& reader, char (&piece)[maxPieceCharacters + 1]);

// Raw bytes that 256 pieces can consume, plus the one byte looked at after a final CR: reading a
// longer file's first maxProgramFileBytes bytes loads exactly the same program.
constexpr size_t maxProgramFileBytes = 256 * (maxPieceCharacters + 1) + 1;

}  // namespace kt57
