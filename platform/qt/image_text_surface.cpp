#include "platform/qt/image_text_surface.h"

#include <QPainter>

#include "platform/qt/console_font.h"
#include "platform/qt/console_painter.h"

namespace kt57 {

ImageTextSurface::ImageTextSurface() : image_(1, 1, QImage::Format_RGB32), font_(consoleFont()), tiles_(font_) {
    image_.fill(Qt::white);
}

void ImageTextSurface::openContext(int colourIndex) {
    open_ = true;
    colourIndex_ = colourIndex;
}

void ImageTextSurface::closeContext() { open_ = false; }

bool ImageTextSurface::drawText(int x, int y, const char* bytes, int length) {
    if (!open_) return false;
    if (length <= 0) return true;
    if (bytes == nullptr) return false;
    if (painted_.unchanged(x, y, bytes, length, colourIndex_)) return true;
    const QRect covered = tiles_.paint(image_, colourIndex_, x, y, bytes, length);
    painted_.painted(x, y, bytes, length, colourIndex_);
    changed_ |= covered.intersected(image_.rect());
    return true;
}

void ImageTextSurface::resizeWindow(int width, int height) {
    if (resize_) resize_(width, height);
}

void ImageTextSurface::setClientSize(QSize size) {
    size = size.expandedTo(QSize(1, 1));
    if (size == image_.size()) return;
    QImage resized(size, QImage::Format_RGB32);
    resized.fill(Qt::white);
    {
        QPainter painter(&resized);
        painter.drawImage(0, 0, image_);
    }
    image_ = std::move(resized);
    painted_.forget();
    changed_ = changed_.intersected(image_.rect());
}

void ImageTextSurface::clear() {
    image_.fill(Qt::white);
    painted_.forget();
    changed_ = image_.rect();
}

QRect ImageTextSurface::takeChangedArea() {
    const QRect area = changed_;
    changed_ = QRect();
    return area;
}

}  // namespace kt57
