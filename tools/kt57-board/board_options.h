// kt57-board's command line: --serial S, --latency MS, --headless, --vcd FILE, --help.
#pragma once
#include <cstddef>

#include "device/board_protocol.h"

namespace kt57 {

struct BoardOptions {
    BoardOptions() { setDefaultVirtualSerialNumber(serialNumber); }

    char serialNumber[serialNumberCapacity] = {};
    int latencyMilliseconds = 1;
    bool headless = false;
    const char* vcdPath = nullptr;  // in argv; nullptr: no recording
    bool help = false;
};

// False with one line in error for an unknown option, a missing value, a serial number that is
// not 8 characters from '0' to 'Z', or a latency outside 0..10000 ms.
bool parseBoardOptions(int argc, const char* const* argv, BoardOptions& options, char* error, size_t capacity);

}  // namespace kt57
