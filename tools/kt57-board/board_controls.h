// A control line typed on either face of kt57-board (standard input, or the panel's controls),
// put into effect on the served board.
#pragma once
#include <cstddef>

#include "tools/kt57-board/pty_board.h"

namespace kt57 {

struct ControlOutcome {
    bool quit = false;
    char note[200] = {};     // for the log: a change no board event reports
    char problem[300] = {};  // for the user: a line refused or a plug that failed
    const char* help = nullptr;
};

ControlOutcome applyControlLine(PtyBoard& board, const char* line);

}  // namespace kt57
