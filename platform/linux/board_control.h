// The text controls of the virtual board, as typed on kt57-board's standard input:
//   input 00FF00   set the 24 inputs (six hexadecimal digits)
//   unplug / plug  pull and reconnect the cable
//   mute / unmute  stop / resume answering (a muted 'W' still sets the outputs)
//   inject <text>  push raw bytes at the sequencer; \xHH, \r, \n and \\ are escapes
//   quit           end the board
// Frames in the log use the same escapes, so a logged frame can be injected as it stands.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kt57 {

constexpr size_t injectCapacity = 256;

enum class BoardControlKind { Empty, Input, Unplug, Plug, Mute, Unmute, Inject, Quit, Help, Invalid };

struct BoardControl {
    BoardControlKind kind = BoardControlKind::Empty;
    uint32_t inputs = 0;
    unsigned char bytes[injectCapacity] = {};
    size_t size = 0;
    const char* error = "";  // why a line is Invalid
};

BoardControl parseBoardControl(const char* line);

// Decodes text with escapes into bytes; false on a bad escape or more than capacity bytes.
bool parseEscapedBytes(const char* text, unsigned char* bytes, size_t capacity, size_t& size);

// Printable ASCII as it is ('\\' doubled), every other byte as \xHH; always NUL-terminated,
// cut short when text is too small.
void formatEscapedBytes(const unsigned char* bytes, size_t size, char* text, size_t capacity);

}  // namespace kt57
