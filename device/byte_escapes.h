// Bytes as one line of text, the same in every trace, log and control line: 0x20-0x7E stand for
// themselves except the backslash, every other byte is \xHH (upper case), so a CR reads \x0D.
// Reading back also takes \r, \n and \\ and either case of hexadecimal digit, as typed by hand.
#pragma once
#include <cstddef>

namespace kt57 {

// The longest text one byte becomes.
inline constexpr size_t escapedByteLength = 4;

// Writes one byte's text (not terminated) and returns its length, 1 or 4.
size_t escapeByte(unsigned char byte, char* text);

// All of bytes as text, always NUL-terminated; cut at a whole byte when capacity is too small.
// Returns the length written.
size_t formatEscapedBytes(const unsigned char* bytes, size_t size, char* text, size_t capacity);

// Decodes length characters of text; false on a bad or cut-short escape. size counts every byte
// the text stands for; only the first capacity of them are stored.
bool decodeEscapedBytes(const char* text, size_t length, unsigned char* bytes, size_t capacity, size_t& size);

}  // namespace kt57
