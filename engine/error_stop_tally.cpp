#include "engine/error_stop_tally.h"

#include <cstdio>

#include "sequencer/run_control.h"

namespace kt57 {

void ErrorStopTally::errorStopped(ErrorStop stop, int32_t line) {
    counts_[static_cast<int>(stop)] += 1;
    any_ = true;
    last_ = stop;
    lastLine_ = line;
}

std::string formatErrorStops(const ErrorStopTally& tally) {
    char text[192];
    const int length =
        std::snprintf(text, sizeof text, "data-stops=%ld loop-stops=%ld device-stops=%ld last-stop=%s",
                      tally.count(ErrorStop::Data), tally.count(ErrorStop::Loop), tally.count(ErrorStop::Device),
                      tally.any() ? errorStopName(tally.last()) : "none");
    if (tally.any() && length > 0 && static_cast<size_t>(length) < sizeof text) {
        std::snprintf(text + length, sizeof text - static_cast<size_t>(length), " last-stop-line=%d",
                      static_cast<int>(shownLineNumber(tally.lastLine())));
    }
    return text;
}

}  // namespace kt57
