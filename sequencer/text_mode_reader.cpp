#include "sequencer/text_mode_reader.h"

namespace kt57 {

namespace {
constexpr char endOfFileMark = 0x1A;
}

int readPiece(TextModeReader& reader, char (&piece)[maxPieceCharacters + 1]) {
    int count = 0;
    while (count < maxPieceCharacters && reader.position < reader.size) {
        const char c = reader.bytes[reader.position];
        if (c == endOfFileMark) {
            break;  // the position stays on the mark, so every later read ends here too
        }
        if (c == '\r' && reader.position + 1 < reader.size && reader.bytes[reader.position + 1] == '\n') {
            reader.position += 2;
            piece[count++] = '\n';
            break;
        }
        ++reader.position;
        piece[count++] = c;
        if (c == '\n') {
            break;
        }
    }
    piece[count] = '\0';
    return count;
}

}  // namespace kt57
