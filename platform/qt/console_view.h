// The client area of the main window: shows the retained console image and turns typed
// characters and left-button presses into the application's events.
#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>

#include "platform/qt/image_text_surface.h"
#include "shell/shell_event.h"

namespace kt57 {

using EventSink = std::function<void(const ShellEvent& event)>;

class ConsoleView : public QWidget {
public:
    ConsoleView(ImageTextSurface& surface, EventSink sink, QWidget* parent = nullptr);

    // Called when the client area grows: the new part is invalid and is painted again.
    void setGrowthHandler(std::function<void()> handler) { grown_ = std::move(handler); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void deliverClick(ShellEventKind kind, const QMouseEvent& event);

    ImageTextSurface& surface_;
    EventSink sink_;
    std::function<void()> grown_;
};

// A click's position as the application takes it: each coordinate cut to 16 bits, so a press
// left of or above the client area reads as a large coordinate, as on the desktop the console was
// drawn for.
ShellEvent clickAt(ShellEventKind kind, int x, int y);

}  // namespace kt57
