#include "platform/win32/substitute/frame_log.h"

#include <cstdarg>

#include "board/board_log.h"
#include "device/byte_escapes.h"

namespace kt57 {

void FrameLog::open(const char* path, Clock& clock) {
    close();
    file_ = std::fopen(path, "ab");
    clock_ = &clock;
    openedMicroseconds_ = clock.nowMicroseconds();
}

void FrameLog::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

void FrameLog::line(const char* format, ...) {
    if (file_ == nullptr) return;
    char stamp[32];
    formatElapsedSeconds(clock_->nowMicroseconds() - openedMicroseconds_, 1000000, 1, stamp, sizeof stamp);
    std::fprintf(file_, "%s ", stamp);
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
