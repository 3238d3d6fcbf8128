// A monotonic clock for the virtual board's reply latency and the logs' times. The headless
// shell's clock is virtual.
#pragma once
#include <cstdint>

namespace kt57 {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t nowMilliseconds() = 0;
    // For logs that time what they record; a clock that knows no finer time gives whole milliseconds.
    virtual int64_t nowMicroseconds() { return nowMilliseconds() * 1000; }
};

}  // namespace kt57
