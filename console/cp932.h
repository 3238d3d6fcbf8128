// The one code page 932 to Unicode conversion, used by the canvas, the tools and the Qt shell.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kt57 {

constexpr uint32_t replacementCharacter = 0xFFFD;

// Decodes the character at bytes[0..size): sets *codePoint and returns the bytes it takes (1 or 2).
// Control bytes decode to themselves; undefined bytes and pairs give U+FFFD.
// A lead byte forms a pair only with a following trail byte (0x40-0x7E, 0x80-0xFC); a pair the
// code page leaves undefined takes both bytes, a lead byte without a trail byte takes one.
// Returns 0 (and sets U+FFFD) only when size is 0.
int decodeCp932(const unsigned char* bytes, size_t size, uint32_t* codePoint);
// True when byte starts a double-byte character.
bool isCp932LeadByte(unsigned char byte);
// True when byte can end a double-byte character.
bool isCp932TrailByte(unsigned char byte);
// The character of a lead/trail pair, or U+FFFD when the code page does not define it.
uint32_t cp932PairToUnicode(unsigned char lead, unsigned char trail);
// The character of a single byte: itself below 0x80, half-width katakana at 0xA1-0xDF, else U+FFFD.
uint32_t cp932SingleToUnicode(unsigned char byte);
// Whole-string conversion for tools and logs (allocates; not for the running core).
// Bytes are converted as they are: control bytes stay control characters.
std::string cp932ToUtf8(const char* bytes, size_t size);
// Appends codePoint as UTF-8; values beyond U+10FFFF and surrogates append U+FFFD.
void appendUtf8(std::string& out, uint32_t codePoint);
// Writes codePoint as UTF-8 into out (room for 4 bytes) and returns the byte count; allocation-free.
int encodeUtf8(uint32_t codePoint, char* out);

}  // namespace kt57
