// The headless shell's virtual clock: it starts at 0 and only blocking waits move it (and the
// message loop, when it idles until the next tick or scripted event). Nothing ever sleeps.
#pragma once
#include <cstdint>

#include "device/blocking_wait.h"
#include "device/clock.h"

namespace kt57 {

class VirtualClock : public Clock, public BlockingWait {
public:
    int64_t nowMilliseconds() override { return now_; }
    void waitMilliseconds(int milliseconds) override {
        if (milliseconds > 0) now_ += milliseconds;
    }
    // The message loop idling: time jumps forward to the next due message, never back.
    void advanceTo(int64_t milliseconds) {
        if (milliseconds > now_) now_ = milliseconds;
    }
    int64_t now() const { return now_; }
    // Only a rehearsal put back to an earlier moment sets the clock back.
    void restoreNow(int64_t milliseconds) { now_ = milliseconds; }

private:
    int64_t now_ = 0;
};

}  // namespace kt57
