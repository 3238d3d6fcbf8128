// The execution engine: one tick of timer 1.
#pragma once

#include "engine/sequencer.h"

namespace kt57 {

void timerTick(Sequencer& sequencer);

}  // namespace kt57
