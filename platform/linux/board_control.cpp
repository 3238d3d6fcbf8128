#include "platform/linux/board_control.h"

#include <cstdio>
#include <cstring>

namespace kt57 {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The word at the start of line, its length, and where its argument starts.
size_t wordLength(const char* line) {
    size_t length = 0;
    while (line[length] != '\0' && !isBlank(line[length])) ++length;
    return length;
}

bool isWord(const char* line, size_t length, const char* word) {
    return std::strlen(word) == length && std::strncmp(line, word, length) == 0;
}

bool restIsBlank(const char* text) {
    while (*text != '\0') {
        if (!isBlank(*text++)) return false;
    }
    return true;
}

BoardControl invalid(const char* error) {
    BoardControl control;
    control.kind = BoardControlKind::Invalid;
    control.error = error;
    return control;
}

}  // namespace

bool parseEscapedBytes(const char* text, unsigned char* bytes, size_t capacity, size_t& size) {
    size = 0;
    while (*text != '\0') {
        unsigned char byte = static_cast<unsigned char>(*text++);
        if (byte == '\\') {
            const char escape = *text++;
            if (escape == 'x') {
                const int high = hexValue(text[0]);
                const int low = high < 0 ? -1 : hexValue(text[1]);
                if (low < 0) return false;
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
        if (size == capacity) return false;
        bytes[size++] = byte;
    }
    return true;
}

void formatEscapedBytes(const unsigned char* bytes, size_t size, char* text, size_t capacity) {
    if (capacity == 0) return;
    size_t used = 0;
    text[0] = '\0';
    for (size_t i = 0; i < size; ++i) {
        char piece[5];
        if (bytes[i] == '\\') {
            std::memcpy(piece, "\\\\", 3);
        } else if (bytes[i] >= 0x20 && bytes[i] < 0x7F) {
            piece[0] = static_cast<char>(bytes[i]);
            piece[1] = '\0';
        } else {
            std::snprintf(piece, sizeof piece, "\\x%02X", bytes[i]);
        }
        const size_t length = std::strlen(piece);
        if (used + length >= capacity) return;
        std::memcpy(text + used, piece, length + 1);
        used += length;
    }
}

BoardControl parseBoardControl(const char* line) {
    while (isBlank(*line)) ++line;
    const size_t length = wordLength(line);
    const char* argument = line + length;
    while (*argument == ' ' || *argument == '\t') ++argument;
    BoardControl control;
    if (length == 0) return control;
    if (isWord(line, length, "inject")) {
        // Trailing line ends are the terminal's, not bytes to send.
        char text[injectCapacity * 4 + 1];
        size_t textLength = std::strlen(argument);
        while (textLength > 0 && (argument[textLength - 1] == '\n' || argument[textLength - 1] == '\r')) --textLength;
        if (textLength == 0) return invalid("inject needs bytes, for example: inject U0000FF\\x0D");
        if (textLength >= sizeof text) return invalid("inject takes at most 256 bytes");
        std::memcpy(text, argument, textLength);
        text[textLength] = '\0';
        if (!parseEscapedBytes(text, control.bytes, sizeof control.bytes, control.size)) {
            return invalid("inject: bad escape (use \\xHH, \\r, \\n or \\\\) or more than 256 bytes");
        }
        control.kind = BoardControlKind::Inject;
        return control;
    }
    if (isWord(line, length, "input")) {
        uint32_t value = 0;
        int digits = 0;
        while (digits < 6 && hexValue(argument[digits]) >= 0) {
            value = value << 4 | static_cast<uint32_t>(hexValue(argument[digits]));
            ++digits;
        }
        if (digits != 6 || !restIsBlank(argument + 6)) return invalid("input takes six hexadecimal digits, for example: input 00FF00");
        control.kind = BoardControlKind::Input;
        control.inputs = value;
        return control;
    }
    struct Word {
        const char* text;
        BoardControlKind kind;
    };
    static constexpr Word words[] = {
        {"unplug", BoardControlKind::Unplug}, {"plug", BoardControlKind::Plug},   {"mute", BoardControlKind::Mute},
        {"unmute", BoardControlKind::Unmute}, {"quit", BoardControlKind::Quit},   {"help", BoardControlKind::Help},
    };
    for (const Word& word : words) {
        if (!isWord(line, length, word.text)) continue;
        if (!restIsBlank(argument)) return invalid("this command takes no argument");
        control.kind = word.kind;
        return control;
    }
    return invalid("unknown command; try: input 00FF00, unplug, plug, mute, unmute, inject <bytes>, quit");
}

}  // namespace kt57
