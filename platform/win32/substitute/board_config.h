// The substitute FTD2XX.dll's text configuration, KT57Board.txt beside the DLL: board-control
// lines (board/board_control.h), one a line, that set the board it serves. The "key = value"
// lines of older files (serial, inputs, latency, muted, unplugged, openFails, writeFails,
// statusFails, readFails) still read as the controls they stand for. Portable, so it is tested on
// any host.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/board_control.h"
#include "board/board_faults.h"
#include "board/board_session.h"
#include "device/board_protocol.h"

namespace kt57 {

inline constexpr char boardConfigFileName[] = "KT57Board.txt";

// The board as a file describes it, from the defaults up.
struct BoardConfig {
    BoardConfig() { setDefaultVirtualSerialNumber(serialNumber); }

    char serialNumber[serialNumberCapacity] = {};  // as isSerialNumber takes it
    uint32_t inputs = 0;                // 24 bits
    int latencyMilliseconds = 1;
    bool muted = false;                 // the board answers nothing ('W' still sets the outputs)
    BoardFaults faults;
    unsigned char inject[injectCapacity] = {};  // pushed once, each time the file is read
    size_t injectSize = 0;
};

// Told about each line that is not understood; that line changes nothing.
using ConfigProblemReport = void (*)(void* context, int lineNumber, const char* message);

// Reads the lines ('#' starts a comment anywhere; blank lines and CR LF line ends are fine) over
// the values already in config. Returns the number of lines that were not understood.
int parseBoardConfig(const char* text, size_t size, BoardConfig& config, ConfigProblemReport report = nullptr,
                     void* reportContext = nullptr);

// Puts a configuration into the board as the control lines it stands for, so unplugging and
// plugging back kill and renew the open handle as with a real cable.
void applyBoardConfig(const BoardConfig& config, BoardSession& session);

}  // namespace kt57
