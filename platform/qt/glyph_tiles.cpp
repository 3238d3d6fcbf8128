#include "platform/qt/glyph_tiles.h"

#include <algorithm>
#include <cstring>

#include "console/cp932.h"
#include "platform/qt/console_font.h"
#include "platform/qt/console_painter.h"

namespace kt57 {
namespace {

int cellSize(const unsigned char* bytes, int remaining) {
    return remaining >= 2 && isCp932LeadByte(bytes[0]) && isCp932TrailByte(bytes[1]) ? 2 : 1;
}

}  // namespace

const QImage& GlyphTiles::tileFor(int colourIndex, const unsigned char* bytes, int size) {
    const uint32_t key = glyphKey(colourIndex, bytes, size);
    Tile& tile = tiles_[(key ^ key >> 11 ^ key >> 17) % tileCount];
    if (tile.key != key) {
        tile.image = QImage(consoleCellWidth * size, consoleCellHeight, QImage::Format_RGB32);
        tile.image.fill(Qt::white);
        paintConsoleText(tile.image, font_, consoleColour(colourIndex), 0, 0, reinterpret_cast<const char*>(bytes),
                         size);
        tile.key = key;
    }
    return tile.image;
}

QRect GlyphTiles::paint(QImage& image, int colourIndex, int x, int y, const char* bytes, int length) {
    if (bytes == nullptr || length <= 0) return {};
    const QRect covered(x, y, consoleCellWidth * length, consoleCellHeight);
    const QRect visible = covered.intersected(image.rect());
    if (visible.isEmpty()) return covered;
    uchar* pixels = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    for (int at = 0; at < length;) {
        const int size = cellSize(data + at, length - at);
        const int cellX = x + consoleCellWidth * at;
        const int from = std::max(cellX, visible.left());
        const int to = std::min(cellX + consoleCellWidth * size, visible.right() + 1);
        if (from < to) {
            const QImage& tile = tileFor(colourIndex, data + at, size);
            for (int row = visible.top(); row <= visible.bottom(); ++row) {
                const uchar* source = tile.constScanLine(row - y) + (from - cellX) * 4;
                std::memcpy(pixels + row * stride + from * 4, source, static_cast<size_t>(to - from) * 4);
            }
        }
        at += size;
    }
    return covered;
}

}  // namespace kt57
