#include "engine/error_stop_tally.h"

#include <cstdio>

namespace kt57 {
namespace {

const char* stopName(ErrorStop stop) {
    switch (stop) {
        case ErrorStop::Data: return "data";
        case ErrorStop::Loop: return "loop";
        case ErrorStop::Device: return "device";
    }
    return "?";
}

}  // namespace

void ErrorStopTally::errorStopped(ErrorStop stop) {
    counts_[static_cast<int>(stop)] += 1;
    any_ = true;
    last_ = stop;
}

std::string formatErrorStops(const ErrorStopTally& tally) {
    char text[160];
    std::snprintf(text, sizeof text, "data-stops=%ld loop-stops=%ld device-stops=%ld last-stop=%s",
                  tally.count(ErrorStop::Data), tally.count(ErrorStop::Loop), tally.count(ErrorStop::Device),
                  tally.any() ? stopName(tally.last()) : "none");
    return text;
}

}  // namespace kt57
