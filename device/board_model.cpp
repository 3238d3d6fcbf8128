#include "device/board_model.h"

namespace kt57 {

namespace {

constexpr unsigned char carriageReturn = 0x0D;
constexpr uint32_t valueMask = 0xFFFFFF;

// The board takes either case in a 'W' command; -1 for anything that is not a digit.
int digitValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool readValue(const unsigned char* digits, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 6; ++i) {
        const int digit = digitValue(digits[i]);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return true;
}

void buildReply(unsigned char type, unsigned char echo, uint32_t value, unsigned char* reply) {
    static constexpr char upperDigits[] = "0123456789ABCDEF";
    reply[0] = type;
    reply[1] = echo;
    for (int i = 0; i < 6; ++i) reply[2 + i] = static_cast<unsigned char>(upperDigits[(value >> (20 - 4 * i)) & 0xF]);
    reply[8] = carriageReturn;
}

}  // namespace

bool BoardModel::answerCommand(const unsigned char* command, unsigned char* reply) {
    // A frame that does not end in CR is not a command the board understands.
    if (command[8] != carriageReturn) return false;
    switch (command[0]) {
    case 'W': {
        uint32_t value = 0;
        if (!readValue(command + 2, value)) return false;
        outputs = value;
        if (muted) return false;
        buildReply('U', command[1], outputs, reply);
        return true;
    }
    case 'R':
        if (muted) return false;
        buildReply('R', command[1], inputs & valueMask, reply);
        return true;
    default:
        return false;
    }
}

}  // namespace kt57
