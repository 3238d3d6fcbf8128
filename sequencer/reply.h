// What a board's reply frame does to the registers.
#pragma once

#include "sequencer/machine_state.h"

namespace kt57 {

// The six digits at frame[2..7] become the output value and, unless the reply is a 'U', the
// input value ('R' replies through the polarity mask). A frame whose digits do not read changes nothing.
void applyReply(MachineState& machine, const unsigned char* frame);

}  // namespace kt57
