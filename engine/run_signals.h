// The two signals of the run that waveforms and the timeline show beside the pins: whether the
// program runs, and the line it runs.
#pragma once
#include <cstdint>

#include "engine/sequencer.h"
#include "sequencer/run_control.h"

namespace kt57 {

inline bool isRunning(const Sequencer& sequencer) { return !stopped(sequencer.run, sequencer.program.lineCount); }

// The line as the screen and kt57-check number it, from 1; 0 while no line runs, so that a stopped
// program does not look as if it sat on the line it last ran.
inline int32_t runningLineNumber(const Sequencer& sequencer) {
    return isRunning(sequencer) ? shownLineNumber(sequencer.run.currentLine) : 0;
}

}  // namespace kt57
