// The board's protocol as every layer and tool sees it: the size of a frame, the width of its
// pins and of its serial number. The one home of these numbers.
#pragma once
#include <cstdint>

namespace kt57 {

// A command or a reply: eight characters and a carriage return.
inline constexpr int frameLength = 9;
// 24 inputs and 24 outputs, each set written as six hexadecimal digits.
inline constexpr uint32_t pinMask = 0xFFFFFF;
inline constexpr int pinCount = 24;
// The serial number the driver lists and opens a board by, and the room a record keeps for it
// with its NUL.
inline constexpr int serialNumberLength = 8;
inline constexpr int serialNumberCapacity = serialNumberLength + 1;
// What the virtual board answers to unless it is told otherwise.
inline constexpr char defaultVirtualSerialNumber[serialNumberCapacity] = "VB000001";

// Gives a record's serial number field the virtual board's default.
constexpr void setDefaultVirtualSerialNumber(char (&serialNumber)[serialNumberCapacity]) {
    for (int i = 0; i < serialNumberCapacity; ++i) serialNumber[i] = defaultVirtualSerialNumber[i];
}

}  // namespace kt57
