#include "sequencer/reply.h"

#include "device/hex.h"

namespace kt57 {

void applyReply(MachineState& machine, const unsigned char* frame) {
    const int32_t value = parseHex(6, reinterpret_cast<const char*>(frame + 2));
    if (value < 0) return;
    machine.outputRegister = value;
    switch (frame[0]) {
    case 'U': break;
    case 'R': machine.inputRegister = value ^ machine.polarityMask; break;
    default: machine.inputRegister = value; break;
    }
}

}  // namespace kt57
