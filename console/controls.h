// The operator's keys and clicks. They only change RunControl and redraw parts of the console.
#pragma once
#include <cstdint>

#include "console/console_state.h"
#include "sequencer/program_store.h"
#include "sequencer/run_control.h"

namespace kt57 {

constexpr uint32_t postedCommandMarker = 0x4B;  // lParam of the posted 'A' and 'P' commands

void handleKey(ConsoleState& console, const ProgramStore& store, RunControl& run, uint32_t characterCode,
               uint32_t lParam);
// x and y are client pixels (the low and high 16 bits of the mouse message's lParam).
void handleClick(ConsoleState& console, const ProgramStore& store, RunControl& run, uint32_t x, uint32_t y);

}  // namespace kt57
