// The console's drawing service on Qt: a retained white image of the client area. Texts land in
// the image at once; the window shows the changed area when the shell presents it, once per
// message rather than once per text.
#pragma once
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <functional>

#include "console/text_surface.h"
#include "platform/qt/glyph_tiles.h"
#include "platform/qt/painted_cells.h"

namespace kt57 {

class ImageTextSurface : public TextSurface {
public:
    ImageTextSurface();

    void openContext(int colourIndex) override;
    void closeContext() override;
    bool drawText(int x, int y, const char* bytes, int length) override;
    // Forwarded to the window, which owns the outer size.
    void resizeWindow(int width, int height) override;

    void setResizeHandler(std::function<void(int width, int height)> handler) { resize_ = std::move(handler); }
    // The client area changed size: pixels that stay are kept, new ones are white; what falls
    // outside is lost, as a window's clipped drawing is.
    void setClientSize(QSize size);
    // The window cleared to white, as a repaint's BeginPaint does.
    void clear();
    // The area changed since the last call, and forgets it.
    QRect takeChangedArea();

    const QImage& image() const { return image_; }
    const QFont& font() const { return font_; }
    bool contextOpen() const { return open_; }

private:
    QImage image_;
    QFont font_;
    QRect changed_;
    GlyphTiles tiles_;      // each cell painted once, then copied
    PaintedCells painted_;  // texts that would repaint the same pixels are not painted again
    bool open_ = false;
    int colourIndex_ = 0;
    std::function<void(int, int)> resize_;
};

}  // namespace kt57
