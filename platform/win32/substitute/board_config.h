// The substitute FTD2XX.dll's text configuration, KT57Board.txt beside the DLL: the serial number,
// inputs and faults of the virtual board it serves. Portable, so it is tested on any host.
#pragma once
#include <cstddef>
#include <cstdint>

#include "device/virtual_board.h"

namespace kt57 {

inline constexpr char boardConfigFileName[] = "KT57Board.txt";

struct BoardConfig {
    char serialNumber[9] = "VB000001";  // 1 to 8 printable characters, no blanks
    uint32_t inputs = 0;                // 24 bits
    int latencyMilliseconds = 1;        // 0 to 10000
    bool muted = false;                 // the board answers nothing ('W' still sets the outputs)
    BoardFaults faults;
};

// Told about each line that is not understood; that line changes nothing.
using ConfigProblemReport = void (*)(void* context, int lineNumber, const char* message);

// Reads "key = value" lines ('#' starts a comment; blank lines and CR LF line ends are fine) over the
// values already in config. Returns the number of lines that were not understood.
int parseBoardConfig(const char* text, size_t size, BoardConfig& config, ConfigProblemReport report = nullptr,
                     void* reportContext = nullptr);

// Puts a configuration into the board: model values, latency and fault switches. Unplugging and
// plugging back go through the board's own operations, so open handles die as with a real cable.
void applyBoardConfig(const BoardConfig& config, VirtualBoard& board);

}  // namespace kt57
