// The timer service: timer 1 of the main window with SetTimer/KillTimer semantics.
// Setting it again restarts it; it keeps firing every interval until killed.
#pragma once

namespace kt57 {

class WindowTimer {
public:
    virtual ~WindowTimer() = default;
    virtual void setTimer(int intervalMilliseconds) = 0;
    virtual void killTimer() = 0;
};

// For a shell without a timer: the program never ticks.
WindowTimer& noWindowTimer();

}  // namespace kt57
