#include "timeline/pin.h"

#include "device/board_protocol.h"

namespace kt57 {

bool parsePin(std::string_view text, Pin& pin) {
    Pin parsed;
    if (text.starts_with("out")) {
        text.remove_prefix(3);
    } else if (text.starts_with("in")) {
        parsed.bank = PinBank::Input;
        text.remove_prefix(2);
    } else {
        return false;
    }
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[0] == '0')) return false;
    int index = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        index = index * 10 + (c - '0');
    }
    if (index >= pinCount) return false;
    parsed.index = index;
    pin = parsed;
    return true;
}

std::string pinName(Pin pin) {
    return (pin.bank == PinBank::Input ? "in" : "out") + std::to_string(pin.index);
}

}  // namespace kt57
