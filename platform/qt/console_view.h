// The client area of the main window: shows the retained console image and turns typed
// characters and left-button presses into the window messages the application handles.
#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>

#include "platform/qt/image_text_surface.h"

namespace kt57 {

using MessageSink = std::function<void(uint32_t message, uint64_t wParam, int64_t lParam)>;

class ConsoleView : public QWidget {
public:
    ConsoleView(ImageTextSurface& surface, MessageSink sink, QWidget* parent = nullptr);

    // Called when the client area grows: on Windows the new part is invalid and gets a WM_PAINT.
    void setGrowthHandler(std::function<void()> handler) { grown_ = std::move(handler); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void deliverClick(uint32_t message, const QMouseEvent& event);

    ImageTextSurface& surface_;
    MessageSink sink_;
    std::function<void()> grown_;
};

// lParam of a mouse message: x in the low 16 bits, y in the high 16 bits, as Windows packs them.
int64_t clickLParam(int x, int y);

}  // namespace kt57
