// The error stops of a run, counted by kind, for a shell that reports them on request (kt57d's
// `kt57-ctl state`): the screen shows only the latest error text, and it is soon overdrawn.
#pragma once
#include <string>

#include "engine/run_observer.h"

namespace kt57 {

class ErrorStopTally : public RunObserver {
public:
    void errorStopped(ErrorStop stop, int32_t line) override;

    long count(ErrorStop stop) const { return counts_[static_cast<int>(stop)]; }
    bool any() const { return any_; }
    ErrorStop last() const { return last_; }
    int32_t lastLine() const { return lastLine_; }  // an index from 0

private:
    long counts_[3] = {};
    bool any_ = false;
    ErrorStop last_ = ErrorStop::Data;
    int32_t lastLine_ = 0;
};

// "data-stops=N loop-stops=N device-stops=N last-stop=none|data|loop|device", and after the first
// stop " last-stop-line=N", the line numbered as the screen shows it: it comes last and only then,
// so that readers of the line as it was still find "last-stop=none" at its end.
std::string formatErrorStops(const ErrorStopTally& tally);

}  // namespace kt57
