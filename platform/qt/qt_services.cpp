#include "platform/qt/qt_services.h"

#include <QGuiApplication>
#include <chrono>
#include <thread>

namespace kt57 {

QtWindowTimer::QtWindowTimer(std::function<void()> tick) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(false);
    QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
}

void QtWindowTimer::setTimer(int intervalMilliseconds) { timer_.start(intervalMilliseconds); }

void QtWindowTimer::killTimer() { timer_.stop(); }

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
