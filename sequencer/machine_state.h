// The six registers of the sequencer. They live for the whole process and are never reset.
#pragma once
#include <cstdint>

namespace kt57 {

struct MachineState {
    int32_t inputRegister = 0;   // 24-bit, last input value (after polarity for 'R' replies)
    int32_t outputRegister = 0;  // 24-bit, last output value; substituted for '@'
    int32_t polarityMask = 0;    // 24-bit, XOR-ed into 'R' replies
    int32_t conditionFlag = 0;   // 0 or 1, result of AND, OR, FCH
    int32_t flagRegister = 0;    // 24-bit software flag bits
    int32_t loopCounter = 0;     // 0-999

    bool operator==(const MachineState&) const = default;
};

}  // namespace kt57
