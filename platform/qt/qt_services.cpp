#include "platform/qt/qt_services.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QGuiApplication>
#include <chrono>
#include <thread>

namespace kt57 {

QtWindowTimer::QtWindowTimer(std::function<void()> tick) : tick_(std::move(tick)) {
    descriptor_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (descriptor_ < 0) return;  // no timer: the program shows its first screen and never ticks
    notifier_ = std::make_unique<QSocketNotifier>(descriptor_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { expired(); });
}

QtWindowTimer::~QtWindowTimer() {
    notifier_.reset();
    if (descriptor_ >= 0) close(descriptor_);
}

void QtWindowTimer::arm(int intervalMilliseconds) {
    if (descriptor_ < 0) return;
    itimerspec setting{};
    setting.it_interval.tv_sec = intervalMilliseconds / 1000;
    setting.it_interval.tv_nsec = static_cast<long>(intervalMilliseconds % 1000) * 1000000L;
    setting.it_value = setting.it_interval;
    // Setting it again also forgets expirations not yet read, so a killed timer never fires late.
    timerfd_settime(descriptor_, 0, &setting, nullptr);
}

void QtWindowTimer::setTimer(int intervalMilliseconds) {
    if (intervalMilliseconds < 1) intervalMilliseconds = 1;
    interval_ = intervalMilliseconds;
    active_ = true;
    arm(intervalMilliseconds);
}

void QtWindowTimer::killTimer() {
    active_ = false;
    arm(0);
}

void QtWindowTimer::expired() {
    uint64_t expirations = 0;
    if (read(descriptor_, &expirations, sizeof expirations) != static_cast<ssize_t>(sizeof expirations)) return;
    if (active_) tick_();
}

bool QtModifierKeys::controlHeld() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

bool QtModifierKeys::shiftHeld() { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); }

void SleepingWait::waitMilliseconds(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PresentingWait::waitMilliseconds(int milliseconds) {
    if (present_) present_();
    wait_.waitMilliseconds(milliseconds);
}

}  // namespace kt57
