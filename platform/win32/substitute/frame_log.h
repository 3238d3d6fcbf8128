// The substitute FTD2XX.dll's log, FTD2XX.log beside the DLL: one line per open, close, listing,
// frame written and frame read, so a test can see exactly what went over the virtual wire, and
// when: every line starts with the seconds since the log was opened, to the microsecond
// ("12.345678 write W0000001\x0D"), so the command rate can be read off it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "device/clock.h"

namespace kt57 {

inline constexpr char frameLogFileName[] = "FTD2XX.log";

class FrameLog {
public:
    FrameLog() = default;
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;
    ~FrameLog() { close(); }

    // Appends to the file; a log that cannot be opened is skipped, never an error of the driver.
    // Times are taken from clock, counted from now.
    void open(const char* path, Clock& clock);
    void close();
    // One line, printf-style, written through at once so that readers see it while the program runs.
    void line(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // "<what> <bytes>", the bytes escaped as in every trace and log (device/byte_escapes.h).
    void bytes(const char* what, const unsigned char* data, size_t size);

private:
    std::FILE* file_ = nullptr;
    Clock* clock_ = nullptr;
    int64_t openedMicroseconds_ = 0;
};

}  // namespace kt57
