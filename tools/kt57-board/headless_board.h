// kt57-board --headless: frames logged on standard output, controls read from standard input.
#pragma once

#include "platform/linux/pty_board.h"

namespace kt57 {

// Serves an already plugged board until quit, a shutdown signal, or a fatal terminal error.
// Returns the process exit code.
int runHeadlessBoard(PtyBoard& board, int shutdownDescriptor, int64_t startMilliseconds);

}  // namespace kt57
