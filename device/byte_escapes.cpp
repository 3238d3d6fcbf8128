#include "device/byte_escapes.h"

#include <cstring>

#include "device/hex.h"

namespace kt57 {

size_t escapeByte(unsigned char byte, char* text) {
    if (byte >= 0x20 && byte <= 0x7E && byte != '\\') {
        text[0] = static_cast<char>(byte);
        return 1;
    }
    text[0] = '\\';
    text[1] = 'x';
    writeHexDigits(byte, 2, upperHexDigits, text + 2);
    return escapedByteLength;
}

size_t formatEscapedBytes(const unsigned char* bytes, size_t size, char* text, size_t capacity) {
    if (capacity == 0) return 0;
    size_t used = 0;
    for (size_t i = 0; bytes != nullptr && i < size; ++i) {
        char piece[escapedByteLength];
        const size_t length = escapeByte(bytes[i], piece);
        if (used + length >= capacity) break;
        std::memcpy(text + used, piece, length);
        used += length;
    }
    text[used] = '\0';
    return used;
}

bool decodeEscapedBytes(const char* text, size_t length, unsigned char* bytes, size_t capacity, size_t& size) {
    size = 0;
    const char* end = text + length;
    while (text < end) {
        unsigned char byte = static_cast<unsigned char>(*text++);
        if (byte == '\\') {
            if (text == end) return false;
            const char escape = *text++;
            if (escape == 'x') {
                if (end - text < 2) return false;
                const int high = hexDigitValue(text[0]);
                const int low = hexDigitValue(text[1]);
                if (high < 0 || low < 0) return false;
                byte = static_cast<unsigned char>(high * 16 + low);
                text += 2;
            } else if (escape == 'r') {
                byte = '\r';
            } else if (escape == 'n') {
                byte = '\n';
            } else if (escape == '\\') {
                byte = '\\';
            } else {
                return false;
            }
        }
        if (size < capacity) bytes[size] = byte;
        ++size;
    }
    return true;
}

}  // namespace kt57
