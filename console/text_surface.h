// The drawing service a platform shell provides: the window's client area and its size.
// Win32 maps it to GetDC/CreateFontA/TextOutA/SetWindowPos; Qt to a retained image; tests to a text canvas.
#pragma once
#include <cstdint>

namespace kt57 {

class TextSurface {
public:
    virtual ~TextSurface() = default;
    // Obtains the window's drawing context with text in palette colour colourIndex (0-7), white opaque background.
    virtual void openContext(int colourIndex) = 0;
    // Releases the context opened last. Drawing afterwards fails until the next open.
    virtual void closeContext() = 0;
    // Draws length code page 932 bytes with the top-left corner at client pixel (x, y).
    // Returns false, changing nothing, when no context is open.
    virtual bool drawText(int x, int y, const char* bytes, int length) = 0;
    // Gives the main window this outer size, keeping its position and Z order.
    virtual void resizeWindow(int width, int height) = 0;
};

// For a shell without a window: opens and closes, but draws nothing.
TextSurface& noTextSurface();

}  // namespace kt57
