// Executing one program line against the registers.
#pragma once

#include "sequencer/line_outcome.h"
#include "sequencer/machine_state.h"
#include "sequencer/program_store.h"
#include "sequencer/run_control.h"

namespace kt57 {

// Executes line run.nextLine; touches only the registers, nextLine, sleepTicks and stepPhase.
LineOutcome executeLine(const ProgramStore& store, MachineState& machine, RunControl& run);

}  // namespace kt57
