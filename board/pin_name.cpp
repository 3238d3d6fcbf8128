#include "board/pin_name.h"

#include "device/board_protocol.h"
#include "device/hex.h"

namespace kt57 {

const char* pinSideWord(PinSide side) { return side == PinSide::Output ? "out" : "in"; }

bool parsePinSide(std::string_view word, PinSide& side) {
    for (const PinSide candidate : {PinSide::Output, PinSide::Input}) {
        if (word == pinSideWord(candidate)) {
            side = candidate;
            return true;
        }
    }
    return false;
}

bool parsePinName(std::string_view word, PinName& pin) {
    for (const PinSide side : {PinSide::Output, PinSide::Input}) {
        const std::string_view prefix = pinSideWord(side);
        if (word.substr(0, prefix.size()) != prefix) continue;
        const std::string_view digits = word.substr(prefix.size());
        // One spelling a pin: "out03" would be a second name for out3.
        if (digits.empty() || digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) return false;
        int index = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') return false;
            index = index * 10 + (c - '0');
        }
        if (index >= pinCount) return false;
        pin = {side, index};
        return true;
    }
    return false;
}

std::string pinNameText(PinName pin) { return pinSideWord(pin.side) + std::to_string(pin.index); }

std::string pinsValueText(uint32_t value) {
    char text[6];
    writeHexDigits(value & pinMask, 6, upperHexDigits, text);
    return std::string(text, sizeof text);
}

}  // namespace kt57
