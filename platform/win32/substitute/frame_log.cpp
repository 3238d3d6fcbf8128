#include "platform/win32/substitute/frame_log.h"

#include <cstdarg>

namespace kt57 {

void describeBytes(const unsigned char* bytes, size_t size, char* out, size_t outSize) {
    if (out == nullptr || outSize == 0) return;
    size_t used = 0;
    for (size_t i = 0; bytes != nullptr && i < size; ++i) {
        char piece[5];
        const unsigned char byte = bytes[i];
        if (byte == '\r') {
            std::snprintf(piece, sizeof piece, "\\r");
        } else if (byte == '\\') {
            std::snprintf(piece, sizeof piece, "\\\\");
        } else if (byte >= 0x20 && byte < 0x7F) {
            std::snprintf(piece, sizeof piece, "%c", byte);
        } else {
            std::snprintf(piece, sizeof piece, "\\x%02X", byte);
        }
        size_t length = 0;
        while (piece[length] != '\0') ++length;
        if (used + length >= outSize) break;
        for (size_t k = 0; k < length; ++k) out[used++] = piece[k];
    }
    out[used] = '\0';
}

void FrameLog::open(const char* path) {
    close();
    file_ = std::fopen(path, "ab");
}

void FrameLog::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

void FrameLog::line(const char* format, ...) {
    if (file_ == nullptr) return;
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(file_, format, arguments);
    va_end(arguments);
    std::fputc('\n', file_);
    std::fflush(file_);
}

void FrameLog::bytes(const char* what, const unsigned char* data, size_t size) {
    char text[4 * 64 + 1];
    describeBytes(data, size, text, sizeof text);
    line("%s %s", what, text);
}

}  // namespace kt57
