// The operator's keys and clicks. They only change RunControl and redraw parts of the console.
#pragma once
#include <cstdint>

#include "console/console_state.h"
#include "console/operator_keys.h"
#include "sequencer/program_store.h"
#include "sequencer/run_control.h"

namespace kt57 {

void handleKey(ConsoleState& console, const ProgramStore& store, RunControl& run, uint32_t character,
               KeySource source);
// x and y are client pixels.
void handleClick(ConsoleState& console, const ProgramStore& store, RunControl& run, uint16_t x, uint16_t y);

}  // namespace kt57
