// Hexadecimal digits: the one home for reading and writing them, in every layer and tool.
#pragma once
#include <cstdint>

namespace kt57 {

inline constexpr char upperHexDigits[] = "0123456789ABCDEF";
inline constexpr char lowerHexDigits[] = "0123456789abcdef";

// The value of one upper-case hexadecimal digit ('0'-'9', 'A'-'F'), or -1. The program's own
// values are upper case only.
constexpr int upperHexDigitValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The value of one hexadecimal digit of either case, or -1: what the board and the tools accept.
constexpr int hexDigitValue(int c) {
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return upperHexDigitValue(c);
}

// Exactly count upper-case hexadecimal digits read from s, or -1: how the program's operands and
// the board's replies are read. Unsigned inside, so that more than seven digits wrap instead of
// overflowing.
constexpr int32_t parseHex(int32_t count, const char* s) {
    if (count < 1) return -1;
    uint32_t value = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int digit = upperHexDigitValue(s[i]);
        if (digit < 0) return -1;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(value);
}

// Writes the low 4 * count bits of value as count digits from the given digit set, most
// significant first.
template <typename Byte>
constexpr void writeHexDigits(uint32_t value, int count, const char (&digits)[17], Byte* out) {
    for (int i = 0; i < count; ++i) out[i] = static_cast<Byte>(digits[(value >> (4 * (count - 1 - i))) & 0xF]);
}

}  // namespace kt57
