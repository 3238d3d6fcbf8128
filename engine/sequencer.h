// The sequencer's records, owned together at the top of a program and passed explicitly.
#pragma once

#include "console/console_state.h"
#include "device/device_link.h"
#include "engine/run_observer.h"
#include "engine/window_timer.h"
#include "sequencer/machine_state.h"
#include "sequencer/program_store.h"
#include "sequencer/run_control.h"

namespace kt57 {

struct Sequencer {
    ProgramStore program{};
    MachineState machine;
    RunControl run;
    DeviceLink link;
    ConsoleState console;
    WindowTimer* timer = &noWindowTimer();  // platform service
    RunObserver* observer = &noObserver();  // trace hooks; the running program needs none
};

}  // namespace kt57
