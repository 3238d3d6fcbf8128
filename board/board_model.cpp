#include "board/board_model.h"

#include "device/board_protocol.h"
#include "device/hex.h"

namespace kt57 {

namespace {

constexpr unsigned char carriageReturn = 0x0D;

bool readValue(const unsigned char* digits, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 6; ++i) {
        const int digit = hexDigitValue(digits[i]);  // the board takes either case
        if (digit < 0) return false;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return true;
}

void buildReply(unsigned char type, unsigned char echo, uint32_t value, unsigned char* reply) {
    reply[0] = type;
    reply[1] = echo;
    writeHexDigits(value, 6, upperHexDigits, reply + 2);
    reply[8] = carriageReturn;
}

}  // namespace

bool BoardModel::answerCommand(const unsigned char* command, unsigned char* reply, bool* outputsSet) {
    if (outputsSet != nullptr) *outputsSet = false;
    // A frame that does not end in CR is not a command the board understands.
    if (command[8] != carriageReturn) return false;
    switch (command[0]) {
    case 'W': {
        uint32_t value = 0;
        if (!readValue(command + 2, value)) return false;
        outputs = value;
        if (outputsSet != nullptr) *outputsSet = true;
        if (muted) return false;
        buildReply('U', command[1], outputs, reply);
        return true;
    }
    case 'R':
        if (muted) return false;
        buildReply('R', command[1], inputs & pinMask, reply);
        return true;
    default:
        return false;
    }
}

}  // namespace kt57
