// The console's drawing context on the main window, with GDI: GetDC, a pen, a white brush and the
// 16 x 8 Shift-JIS font selected, TextOutA for every text, SetWindowPos for the listing size.
#pragma once
#include <windows.h>

#include "console/text_surface.h"
#include "platform/win32/win32_main_window.h"

namespace kt57 {

class GdiTextSurface : public TextSurface {
public:
    explicit GdiTextSurface(const Win32MainWindow& window) : window_(window) {}
    GdiTextSurface(const GdiTextSurface&) = delete;
    GdiTextSurface& operator=(const GdiTextSurface&) = delete;
    ~GdiTextSurface() override { closeContext(); }

    void openContext(int colourIndex) override;
    void closeContext() override;
    bool drawText(int x, int y, const char* bytes, int length) override;
    void resizeWindow(int width, int height) override;

private:
    const Win32MainWindow& window_;
    HWND contextWindow_ = nullptr;  // the window the device context belongs to, for ReleaseDC
    HDC deviceContext_ = nullptr;
    HPEN pen_ = nullptr;
    HBRUSH brush_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ displacedPen_ = nullptr;
    HGDIOBJ displacedBrush_ = nullptr;
    HGDIOBJ displacedFont_ = nullptr;
};

}  // namespace kt57
