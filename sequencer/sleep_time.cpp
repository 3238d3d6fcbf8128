#include "sequencer/sleep_time.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "sequencer/program_store.h"

namespace kt57 {

namespace {

constexpr int argumentColumn = 4;
constexpr double shortestSleep = 0.1;
constexpr double ticksPerSecond = 10.0;

bool isScanSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// strtod gives infinity or zero where from_chars reports out of range; the exponent's sign says which.
double outOfRangeValue(const char* first, const char* last, bool hexadecimal) {
    for (const char* p = first; p < last; ++p) {
        const bool exponent = hexadecimal ? (*p == 'p' || *p == 'P') : (*p == 'e' || *p == 'E');
        if (exponent) {
            return (p + 1 < last && p[1] == '-') ? 0.0 : std::numeric_limits<double>::infinity();
        }
    }
    return std::numeric_limits<double>::infinity();
}

// strtod's grammar on [first, last) with from_chars, which no locale can change.
bool scanDouble(const char* first, const char* last, double& value, const char*& end) {
    const char* p = first;
    while (p < last && isScanSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < last && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p < last && (*p == '+' || *p == '-')) {
        return false;  // from_chars would take a second sign; strtod does not
    }
    std::from_chars_result result{p, std::errc::invalid_argument};
    bool hexadecimal = false;
    if (last - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        (isHexDigit(p[2]) || (p[2] == '.' && last - p >= 4 && isHexDigit(p[3])))) {
        hexadecimal = true;
        result = std::from_chars(p + 2, last, value, std::chars_format::hex);
    } else {
        result = std::from_chars(p, last, value, std::chars_format::general);
    }
    if (result.ec == std::errc::result_out_of_range) {
        value = outOfRangeValue(p, result.ptr, hexadecimal);
    } else if (result.ec != std::errc{}) {
        return false;
    }
    if (negative) {
        value = -value;
    }
    end = result.ptr;
    return true;
}

}  // namespace

SleepTime readSleepTime(const char (&text)[16]) {
    SleepTime sleep{false, argumentColumn, 0.0, 0};
    const char* end = nullptr;
    if (scanDouble(&text[argumentColumn], &text[textColumns], sleep.seconds, end)) {
        sleep.readable = true;
        sleep.numberEnd = static_cast<int>(end - text);
    }
    // The negated test also turns away not-a-number.
    if (!(sleep.seconds >= shortestSleep)) {
        return sleep;
    }
    const double ticks = sleep.seconds * ticksPerSecond;
    constexpr double tickLimit = 2147483648.0;  // 2^31: the first count that does not fit
    sleep.ticks = ticks >= tickLimit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(ticks);
    return sleep;
}

int32_t readSetCount(const char (&text)[16]) {
    int32_t count = 0;
    for (int column = argumentColumn; column < argumentColumn + 3 && text[column] >= '0' && text[column] <= '9'; ++column) {
        count = count * 10 + (text[column] - '0');
    }
    return count;
}

}  // namespace kt57
