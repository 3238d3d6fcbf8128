// kt57-board --headless: frames logged on standard output, controls read from standard input.
#pragma once

#include "tools/kt57-board/pin_recording.h"
#include "tools/kt57-board/pty_board.h"

namespace kt57 {

// Serves an already plugged board until quit, a shutdown signal, or a fatal terminal error, with
// the recording (when given) in front of the log. Returns the process exit code.
int runHeadlessBoard(PtyBoard& board, int shutdownDescriptor, int64_t startMilliseconds, PinRecording* recording);

}  // namespace kt57
