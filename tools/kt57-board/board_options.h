// kt57-board's command line: --serial S, --latency MS, --headless, --vcd FILE, --help.
#pragma once
#include <cstddef>

#include "common/command_options.h"
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

// What --help prints.
extern const CommandLine boardCommandLine;

// False with one line in error for an unknown option, a missing value, or a serial number or a
// latency that the control lines would refuse too, with their words.
bool parseBoardOptions(int argc, const char* const* argv, BoardOptions& options, char* error, size_t capacity);

}  // namespace kt57
