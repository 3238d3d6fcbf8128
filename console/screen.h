// The four drawing routines of the console. None of them opens or closes a context.
#pragma once

#include "console/console_state.h"
#include "sequencer/machine_state.h"
#include "sequencer/program_store.h"
#include "sequencer/run_control.h"

namespace kt57 {

void drawHeader(ConsoleState& console, const ProgramStore& store, const RunControl& run);
void drawLoopCounter(ConsoleState& console, const MachineState& machine);
void drawStatusRow(ConsoleState& console, const ProgramStore& store, const RunControl& run);
void drawListing(ConsoleState& console, const ProgramStore& store, const RunControl& run);
// The version text over the message field; it also wipes an error text shown there.
void drawVersionText(ConsoleState& console);

}  // namespace kt57
