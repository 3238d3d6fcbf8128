// Presents at most once per display frame. Ticks come 100 times a second and a display shows
// about 60 frames: the areas the ticks change are gathered, and reach the screen together at the
// next frame boundary. Asking never waits, so no tick is held back to paint.
#pragma once
#include <QElapsedTimer>
#include <QRect>
#include <QTimer>
#include <functional>

namespace kt57 {

class FramePacer {
public:
    // paint is asked to put an area on the screen; it should not block (QWidget::update).
    explicit FramePacer(std::function<void(const QRect&)> paint);

    void setFrameInterval(int milliseconds);
    int frameInterval() const { return frameInterval_; }

    // Gathers area; paints at once when a frame has passed since the last paint, else at the next
    // frame boundary.
    void request(const QRect& area);
    // What is gathered and not yet painted, handed over and forgotten (for a paint made now).
    QRect takePending();
    // The caller painted now: the next frame starts from here.
    void painted();

private:
    void paintPending();

    std::function<void(const QRect&)> paint_;
    QTimer timer_;
    QElapsedTimer sinceLastPaint_;
    QRect pending_;
    int frameInterval_ = 16;
};

// A frame of the screen the widget shows on, in whole milliseconds (60 Hz when it is unknown).
int frameIntervalOf(double refreshRate);

}  // namespace kt57
