#include "platform/win32/substitute/frame_log.h"

#include <cstdarg>

#include "device/byte_escapes.h"

namespace kt57 {

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
    formatEscapedBytes(data, size, text, sizeof text);
    line("%s %s", what, text);
}

}  // namespace kt57
