// The names of the board's 48 pins, "out0".."out23" and "in0".."in23": the one spelling that the
// waveforms, the events file's expectations and the rehearsal's timeline share.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kt57 {

enum class PinSide : uint8_t { Output, Input };

struct PinName {
    PinSide side = PinSide::Output;
    int index = 0;  // 0 to pinCount - 1
    bool operator==(const PinName&) const = default;
    uint32_t bit() const { return uint32_t{1} << index; }
    // 0-23 for the outputs, 24-47 for the inputs: one number for tables of all 48.
    int number() const { return (side == PinSide::Input ? 24 : 0) + index; }
};

// "out" or "in".
const char* pinSideWord(PinSide side);
// "out" or "in" alone: all the pins of one side.
bool parsePinSide(std::string_view word, PinSide& side);
// "out3", "in23": the side's word and a decimal index from 0 to 23, without leading zeros.
bool parsePinName(std::string_view word, PinName& pin);
std::string pinNameText(PinName pin);
// The 24 pins of a side as six hexadecimal digits, upper case, as the events file and the state line
// write them.
std::string pinsValueText(uint32_t value);

}  // namespace kt57
