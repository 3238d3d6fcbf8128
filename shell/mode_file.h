// KT57Mode.txt: the start-up run mode, the detail view and the board's serial number.
#pragma once

#include "console/console_state.h"
#include "device/device_link.h"
#include "sequencer/file_service.h"
#include "sequencer/run_control.h"
#include "engine/run_observer.h"
#include "shell/shell_state.h"

namespace kt57 {

constexpr const char* modeFileName = "KT57Mode.txt";

void readModeFile(const char* directory, FileService& files, RunControl& run, ConsoleState& console,
                  ShellState& shell, DeviceLink& link);
// Writes only while the board is open: a new file first, on the disk, then it replaces the old one.
void writeModeFile(const char* directory, FileService& files, const RunControl& run, const ShellState& shell,
                   const DeviceLink& link, RunObserver& observer);

}  // namespace kt57
