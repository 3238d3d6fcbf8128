// The argument of SLP and SET, read from a line's text when the line runs.
#pragma once
#include <cstdint>

namespace kt57 {

struct SleepTime {
    bool readable;     // a number could be read at all (otherwise the time counts as 0)
    int numberEnd;     // text column just after the number; where reading stopped
    double seconds;    // as read; may be negative, infinite or not a number
    int32_t ticks;     // 100 ms ticks to sleep; 0 = the line is skipped
};

// Reads the seconds from text columns 4-10 as strtod does ("C" locale: decimal, hexadecimal,
// inf, infinity, nan). Under 0.1 s, minus infinity and not-a-number sleep 0 ticks; 2^31 ticks
// or more, plus infinity included, sleep the longest 32-bit count.
SleepTime readSleepTime(const char (&text)[16]);

// SET's count: up to three digits from column 4; 0 when there are none.
int32_t readSetCount(const char (&text)[16]);

}  // namespace kt57
