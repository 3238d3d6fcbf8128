// The virtual board's logs, formatted in one place: kt57-board's frame log, one line per board
// event worth logging, with the seconds since the board started,
//    0.012  command    W00FF00\x0D
//    0.013  reply      U000FF00\x0D
// and the time stamp that the substitute FTD2XX.log puts before each driver call it records
// ("12.345678 write W0000001\x0D"). The two keep their own line shapes because people and tools
// read each as it is; both escape bytes alike (device/byte_escapes.h).
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/board_event.h"

namespace kt57 {

// False for an event the log leaves out (a reply on its way, the outputs a command set).
bool formatBoardEvent(const BoardEvent& event, int64_t startMilliseconds, const char* devicePath, char* line,
                      size_t capacity);

// A line of the same log that is not an event.
void formatBoardNote(const char* text, int64_t elapsedMilliseconds, char* line, size_t capacity);

// elapsed in units of 1/unitsPerSecond as seconds with one decimal for each power of ten in
// unitsPerSecond, the whole seconds right-aligned in at least width characters: "   0.012", "12.345678".
void formatElapsedSeconds(int64_t elapsed, int64_t unitsPerSecond, int width, char* text, size_t capacity);

}  // namespace kt57
