// One line per board event, with the seconds since the board started:
//    0.012  command    W00FF00\x0D
//    0.013  reply      U000FF00\x0D
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/linux/pty_board.h"

namespace kt57 {

void formatBoardEvent(const BoardEvent& event, int64_t startMilliseconds, const char* devicePath, char* line,
                      size_t capacity);

}  // namespace kt57
