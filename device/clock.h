// A millisecond clock for the virtual board's reply latency. The headless shell's clock is virtual.
#pragma once
#include <cstdint>

namespace kt57 {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t nowMilliseconds() = 0;
};

}  // namespace kt57
