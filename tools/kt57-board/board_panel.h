// kt57-board's window: 24 output lamps, 24 input switches, the serial number, the fault controls
// and a scrolling log of frames with times.
#pragma once
#include <cstdint>

#include "tools/kt57-board/pin_recording.h"
#include "tools/kt57-board/pty_board.h"

namespace kt57 {

// Runs the Qt event loop around an already plugged board, with the recording (when given) in front
// of the panel; returns the process exit code.
int runBoardPanel(PtyBoard& board, int shutdownDescriptor, int64_t startMilliseconds, PinRecording* recording,
                  int argc, char** argv);

}  // namespace kt57
