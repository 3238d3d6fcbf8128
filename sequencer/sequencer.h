// The sequencer's records, owned together at the top of a program and passed explicitly.
#pragma once

#include "console/console_state.h"
#include "device/device_link.h"
#include "sequencer/machine_state.h"
#include "sequencer/program_store.h"
#include "sequencer/run_control.h"
#include "sequencer/run_observer.h"
#include "sequencer/window_timer.h"

namespace kt57 {

struct Sequencer {
    ProgramStore program{};
    MachineState machine;
    RunControl run;
    DeviceLink link;
    ConsoleState console;
    WindowTimer* timer = nullptr;       // platform service
    RunObserver* observer = nullptr;    // optional trace hooks
};

}  // namespace kt57
