// The small platform services on Qt: timer 1, the modifier keys and start-up's blocking waits.
#pragma once
#include <QTimer>
#include <functional>

#include "console/modifier_keys.h"
#include "device/blocking_wait.h"
#include "sequencer/window_timer.h"

namespace kt57 {

// SetTimer/KillTimer: a precise periodic timer; set again restarts it, it fires until killed.
class QtWindowTimer : public WindowTimer {
public:
    explicit QtWindowTimer(std::function<void()> tick);
    void setTimer(int intervalMilliseconds) override;
    void killTimer() override;
    bool active() const { return timer_.isActive(); }
    int interval() const { return timer_.interval(); }

private:
    QTimer timer_;
};

// GetAsyncKeyState: the keyboard as it is now, not as a queued event saw it.
class QtModifierKeys : public ModifierKeys {
public:
    bool controlHeld() override;
    bool shiftHeld() override;
};

// Sleeps for real: the thread does nothing else meanwhile, as on Windows.
class SleepingWait : public BlockingWait {
public:
    void waitMilliseconds(int milliseconds) override;
};

// Start-up's waits: shows what has been drawn so far (the banner, a red start-up text), which on
// Windows is on the screen at once, then waits with the given service.
class PresentingWait : public BlockingWait {
public:
    PresentingWait(BlockingWait& wait, std::function<void()> present) : wait_(wait), present_(std::move(present)) {}
    void waitMilliseconds(int milliseconds) override;

private:
    BlockingWait& wait_;
    std::function<void()> present_;
};

}  // namespace kt57
