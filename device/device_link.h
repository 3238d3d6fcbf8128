// The board connection and its five operations.
#pragma once
#include <cstdint>

#include "console/console_state.h"
#include "device/blocking_wait.h"
#include "device/ft_driver.h"
#include "sequencer/machine_state.h"
#include "sequencer/run_control.h"

namespace kt57 {

constexpr int frameLength = 9;

struct DeviceLink {
    FT_HANDLE handle = nullptr;
    int32_t linkState = 0;        // 1 open, 0 closed, -1 no board at start-up
    char serialNumber[16] = {};   // NUL-terminated; empty = none known
    FtDriver* driver = nullptr;   // platform service: the eight calls
    BlockingWait* wait = nullptr; // platform service: releaseLink's 20 ms
};

// 1 when the board is opened and configured, 0 otherwise. The caller stores it in linkState.
int openLink(DeviceLink& link);
// Closes an open board, sets linkState and run.connectFailures to 0, waits 20 ms.
void releaseLink(DeviceLink& link, RunControl& run);
// Writes the 9-byte frame of text (with '@' substitution); draws it when detailView is 1.
int sendCommand(DeviceLink& link, const MachineState& machine, ConsoleState& console, const char* text);
// 0 when no whole frame is queued, the bytes read, or -1 on a driver failure.
int pollReply(DeviceLink& link, ConsoleState& console, unsigned char* buffer);
void applyReply(MachineState& machine, const unsigned char* frame);

}  // namespace kt57
