// Puts one parsed control line into effect on a board session: the one place a control changes
// the board, whichever face it came from. Empty, quit, help and invalid lines change nothing.
#pragma once
#include <cstddef>

#include "board/board_control.h"
#include "board/board_session.h"

namespace kt57 {

// False only when a plug fails (with the reason in error); the board then stays unplugged.
bool applyBoardControl(BoardSession& session, const BoardControl& control, char* error = nullptr,
                       size_t errorCapacity = 0);

}  // namespace kt57
