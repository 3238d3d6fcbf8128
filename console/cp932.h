// The one code page 932 to Unicode conversion, used by the canvas, the tools and the Qt shell.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kt57 {

constexpr uint32_t replacementCharacter = 0xFFFD;

// Decodes the character at bytes[0..size): sets *codePoint and returns the bytes it takes (1 or 2).
// Control bytes decode to themselves; undefined bytes and pairs give U+FFFD.
int decodeCp932(const unsigned char* bytes, size_t size, uint32_t* codePoint);
// True when byte starts a double-byte character.
bool isCp932LeadByte(unsigned char byte);
// Whole-string conversion for tools and logs (allocates; not for the running core).
std::string cp932ToUtf8(const char* bytes, size_t size);
void appendUtf8(std::string& out, uint32_t codePoint);

}  // namespace kt57
