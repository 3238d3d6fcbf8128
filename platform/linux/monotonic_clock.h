// The monotonic clock in milliseconds, for the board served on a pseudo-terminal and its faces.
#pragma once
#include <time.h>

#include <cstdint>

#include "device/clock.h"

namespace kt57 {

inline int64_t monotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// For kt57-board's recording, finer than the board's own milliseconds.
inline int64_t monotonicMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

class MonotonicClock : public Clock {
public:
    int64_t nowMilliseconds() override { return monotonicMilliseconds(); }
};

}  // namespace kt57
