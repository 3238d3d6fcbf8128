// The small platform services on Qt: timer 1, the modifier keys and start-up's blocking waits.
#pragma once
#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "console/modifier_keys.h"
#include "device/blocking_wait.h"
#include "engine/window_timer.h"

namespace kt57 {

// SetTimer/KillTimer: a periodic timer; set again restarts it, it fires until killed, and
// expirations missed while the thread was busy make one tick, as a desktop window timer does. A timerfd rather
// than a QTimer: Qt rounds every wait for its timers to whole milliseconds, which made each
// 10 ms tick start up to a millisecond late; the kernel's timer expires to the microsecond.
class QtWindowTimer : public WindowTimer {
public:
    explicit QtWindowTimer(std::function<void()> tick);
    ~QtWindowTimer() override;
    QtWindowTimer(const QtWindowTimer&) = delete;
    QtWindowTimer& operator=(const QtWindowTimer&) = delete;

    void setTimer(int intervalMilliseconds) override;
    void killTimer() override;
    bool active() const { return active_; }
    int interval() const { return interval_; }

private:
    void arm(int intervalMilliseconds);
    void expired();

    std::function<void()> tick_;
    int descriptor_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool active_ = false;
    int interval_ = 0;
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
