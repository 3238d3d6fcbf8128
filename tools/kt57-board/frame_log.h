// One line per board event worth logging, with the seconds since the board started:
//    0.012  command    W00FF00\x0D
//    0.013  reply      U000FF00\x0D
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

}  // namespace kt57
