// The virtual board's protocol and state: 24 outputs, 24 inputs, a serial number and the mute switch.
// Transport-free: the board session feeds it the commands every transport carries.
#pragma once
#include <cstdint>

#include "device/board_protocol.h"

namespace kt57 {

class BoardModel {
public:
    BoardModel() { setDefaultVirtualSerialNumber(serialNumber); }

    // Answers one 9-byte command ending in CR: 'W' sets the outputs, 'R' reads the inputs.
    // Writes the 9-byte reply and returns true, or returns false when the board stays silent
    // (unknown command, invalid digit, or muted; a muted 'W' still sets the outputs).
    // outputsSet, when given, tells whether the command set the outputs.
    bool answerCommand(const unsigned char* command, unsigned char* reply, bool* outputsSet = nullptr);

    uint32_t outputs = 0;  // 24 bits
    uint32_t inputs = 0;   // 24 bits, set from outside
    char serialNumber[serialNumberCapacity] = {};
    bool muted = false;

    bool operator==(const BoardModel&) const = default;
};

}  // namespace kt57
