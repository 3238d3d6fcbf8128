#include "console/cp932.h"

#include "console/cp932_table.h"

namespace kt57 {

bool isCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool isCp932TrailByte(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

uint32_t cp932PairToUnicode(unsigned char lead, unsigned char trail) {
    if (!isCp932LeadByte(lead) || !isCp932TrailByte(trail)) return replacementCharacter;
    const int row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
    const int column = trail < 0x7F ? trail - 0x40 : trail - 0x41;
    const uint16_t value = cp932DoubleByteTable[row][column];
    return value == 0 ? replacementCharacter : value;
}

uint32_t cp932SingleToUnicode(unsigned char byte) {
    if (byte < 0x80) return byte;
    if (byte >= 0xA1 && byte <= 0xDF) return 0xFF61u + (byte - 0xA1u);  // half-width katakana
    return replacementCharacter;
}

int decodeCp932(const unsigned char* bytes, size_t size, uint32_t* codePoint) {
    if (size == 0 || bytes == nullptr) {
        *codePoint = replacementCharacter;
        return 0;
    }
    if (isCp932LeadByte(bytes[0]) && size >= 2 && isCp932TrailByte(bytes[1])) {
        *codePoint = cp932PairToUnicode(bytes[0], bytes[1]);
        return 2;
    }
    *codePoint = cp932SingleToUnicode(bytes[0]);  // a lone lead byte gives U+FFFD here
    return 1;
}

int encodeUtf8(uint32_t codePoint, char* out) {
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) codePoint = replacementCharacter;
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

void appendUtf8(std::string& out, uint32_t codePoint) {
    char buffer[4];
    out.append(buffer, static_cast<size_t>(encodeUtf8(codePoint, buffer)));
}

std::string cp932ToUtf8(const char* bytes, size_t size) {
    std::string out;
    if (bytes == nullptr) return out;
    out.reserve(size * 2);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    size_t at = 0;
    while (at < size) {
        uint32_t codePoint = 0;
        at += static_cast<size_t>(decodeCp932(data + at, size - at, &codePoint));
        appendUtf8(out, codePoint);
    }
    return out;
}

}  // namespace kt57
