#include "platform/win32/gdi_text_surface.h"

#include "console/palette.h"
#include "console/screen_texts.h"

namespace kt57 {
namespace {

// The layout counts on 8 x 16 pixel single-byte cells; pitch-and-family 48 is FF_MODERN | DEFAULT_PITCH.
HFONT createConsoleFont() {
    return CreateFontA(16, 8, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_MODERN | DEFAULT_PITCH, fontFaceName);
}

COLORREF paletteColour(int index) {
    if (index < 0 || index > paletteWhite) index = paletteBlack;
    return static_cast<COLORREF>(consolePalette.colours[index]);
}

}  // namespace

void GdiTextSurface::openContext(int colourIndex) {
    closeContext();  // never leak a context that was left open
    const HWND window = window_.handle();
    if (window == nullptr) return;  // GetDC(nullptr) would be the whole screen's context
    const HDC deviceContext = GetDC(window);
    if (deviceContext == nullptr) return;  // drawing fails until the next open, nothing else
    contextWindow_ = window;
    deviceContext_ = deviceContext;
    pen_ = CreatePen(PS_SOLID, 1, paletteColour(colourIndex));
    brush_ = CreateSolidBrush(paletteColour(paletteWhite));
    font_ = createConsoleFont();
    displacedPen_ = pen_ != nullptr ? SelectObject(deviceContext_, pen_) : nullptr;
    displacedBrush_ = brush_ != nullptr ? SelectObject(deviceContext_, brush_) : nullptr;
    displacedFont_ = font_ != nullptr ? SelectObject(deviceContext_, font_) : nullptr;
    SetTextColor(deviceContext_, paletteColour(colourIndex));
    SetBkColor(deviceContext_, paletteColour(paletteWhite));
    SetBkMode(deviceContext_, OPAQUE);
}

void GdiTextSurface::closeContext() {
    if (deviceContext_ == nullptr) return;
    if (displacedPen_ != nullptr) SelectObject(deviceContext_, displacedPen_);
    if (displacedBrush_ != nullptr) SelectObject(deviceContext_, displacedBrush_);
    if (displacedFont_ != nullptr) SelectObject(deviceContext_, displacedFont_);
    if (pen_ != nullptr) DeleteObject(pen_);
    if (brush_ != nullptr) DeleteObject(brush_);
    if (font_ != nullptr) DeleteObject(font_);
    ReleaseDC(contextWindow_, deviceContext_);
    contextWindow_ = nullptr;
    deviceContext_ = nullptr;
    pen_ = nullptr;
    brush_ = nullptr;
    font_ = nullptr;
    displacedPen_ = nullptr;
    displacedBrush_ = nullptr;
    displacedFont_ = nullptr;
}

bool GdiTextSurface::drawText(int x, int y, const char* bytes, int length) {
    if (deviceContext_ == nullptr || bytes == nullptr || length < 0) return false;
    return TextOutA(deviceContext_, x, y, bytes, length) != FALSE;
}

void GdiTextSurface::resizeWindow(int width, int height) {
    SetWindowPos(window_.handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

}  // namespace kt57
