#include "platform/qt/frame_pacer.h"

#include <cmath>

namespace kt57 {

int frameIntervalOf(double refreshRate) {
    if (!(refreshRate >= 10.0 && refreshRate <= 1000.0)) refreshRate = 60.0;
    // Rounded down: a frame a little early is never later than the screen can show it.
    return static_cast<int>(std::floor(1000.0 / refreshRate));
}

FramePacer::FramePacer(std::function<void(const QRect&)> paint) : paint_(std::move(paint)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { paintPending(); });
}

void FramePacer::setFrameInterval(int milliseconds) { frameInterval_ = milliseconds < 1 ? 1 : milliseconds; }

void FramePacer::request(const QRect& area) {
    if (area.isEmpty()) return;
    pending_ |= area;
    if (timer_.isActive()) return;
    const qint64 elapsed = sinceLastPaint_.isValid() ? sinceLastPaint_.elapsed() : frameInterval_;
    if (elapsed >= frameInterval_) {
        paintPending();
        return;
    }
    timer_.start(static_cast<int>(frameInterval_ - elapsed));
}

QRect FramePacer::takePending() {
    timer_.stop();
    const QRect area = pending_;
    pending_ = QRect();
    return area;
}

void FramePacer::painted() { sinceLastPaint_.start(); }

void FramePacer::paintPending() {
    const QRect area = takePending();
    if (area.isEmpty()) return;
    painted();
    paint_(area);
}

}  // namespace kt57
