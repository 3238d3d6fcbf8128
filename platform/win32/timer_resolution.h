// The system timer at 1 ms for as long as the program runs. WM_TIMER fires on the system clock's
// tick, 15.6 ms unless some program asks for more: the engine's 10 ms timer would then tick at
// about 64 a second and every 100 ms sleep tick would last about 109 ms.
#pragma once
#include <windows.h>
#include <timeapi.h>

namespace kt57 {

class TimerResolution {
public:
    TimerResolution() : raised_(timeBeginPeriod(period) == TIMERR_NOERROR) {}
    ~TimerResolution() {
        if (raised_) timeEndPeriod(period);  // every exit, failed start-ups included
    }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

private:
    static constexpr UINT period = 1;  // milliseconds
    bool raised_;
};

}  // namespace kt57
