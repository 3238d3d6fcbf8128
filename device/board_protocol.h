// The board's protocol as every layer and tool sees it: the size of a frame, the width of its
// pins and of its serial number. The one home of these numbers.
#pragma once
#include <cstddef>
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
// The serial numbers a board may be given, by kt57-board's and kt57-run's options and by the
// control line: 1 to 8 characters from '0' to 'Z' (digits, capitals and :;<=>?@). kt57-board names
// its registry file after the serial number, so none may hold a '/', a '.', a blank or a control
// character; shorter ones stay, as the rehearsals have always taken them.
inline constexpr char serialNumberRule[] = "1 to 8 characters from '0' to 'Z'";
constexpr bool isSerialNumber(const char* text, size_t length) {
    if (length == 0 || length > static_cast<size_t>(serialNumberLength)) return false;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > 'Z') return false;
    }
    return true;
}
// The same for a NUL-terminated text, read no further than one character past the longest.
constexpr bool isSerialNumber(const char* text) {
    if (text == nullptr) return false;
    size_t length = 0;
    while (length <= static_cast<size_t>(serialNumberLength) && text[length] != '\0') ++length;
    return isSerialNumber(text, length);
}

// What the virtual board answers to unless it is told otherwise.
inline constexpr char defaultVirtualSerialNumber[serialNumberCapacity] = "VB000001";

static_assert(isSerialNumber(defaultVirtualSerialNumber, serialNumberLength));

// Gives a record's serial number field the virtual board's default.
constexpr void setDefaultVirtualSerialNumber(char (&serialNumber)[serialNumberCapacity]) {
    for (int i = 0; i < serialNumberCapacity; ++i) serialNumber[i] = defaultVirtualSerialNumber[i];
}

}  // namespace kt57
