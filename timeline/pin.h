// The board's 48 pins as people name them: out0 to out23 and in0 to in23.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kt57 {

enum class PinBank : uint8_t { Output, Input };

struct Pin {
    PinBank bank = PinBank::Output;
    int index = 0;  // 0-23: the bit of the 24-bit value

    bool operator==(const Pin&) const = default;
    // 0-23 for the outputs, 24-47 for the inputs: one number for tables of all 48.
    int number() const { return (bank == PinBank::Input ? 24 : 0) + index; }
};

// "out3", "in12": the bank's word and a decimal index from 0 to 23, without leading zeros.
bool parsePin(std::string_view text, Pin& pin);
std::string pinName(Pin pin);

}  // namespace kt57
