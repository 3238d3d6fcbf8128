// The console's character cells, each painted once with QPainter into a small tile and copied
// pixel for pixel wherever it is drawn again. Every cell of a console text is painted on its own
// (white under it, the glyph clipped to its cells), so a cell's pixels depend only on its bytes,
// its colour and the font, and a copy is exactly what painting it in place would give.
#pragma once
#include <QFont>
#include <QImage>
#include <QRect>
#include <cstdint>

namespace kt57 {

// What a cell's pixels depend on besides the font, as one number that is never 0: its colour, its
// width (one byte or two) and its bytes.
constexpr uint32_t glyphKey(int colourIndex, const unsigned char* bytes, int size) {
    constexpr int secondByteShift = 0;
    constexpr int firstByteShift = 8;
    constexpr int doubleWidthShift = firstByteShift + 8;
    constexpr int colourShift = doubleWidthShift + 1;
    constexpr uint32_t present = 1u << 31;
    return present | static_cast<uint32_t>(colourIndex & 0xFF) << colourShift |
           static_cast<uint32_t>(size == 2) << doubleWidthShift | static_cast<uint32_t>(bytes[0]) << firstByteShift |
           static_cast<uint32_t>(size == 2 ? bytes[1] : 0) << secondByteShift;
}

class GlyphTiles {
public:
    explicit GlyphTiles(const QFont& font) : font_(font) {}

    // Draws length bytes with the top-left corner at (x, y) into image (Format_RGB32), with the
    // same pixels and the same result as paintConsoleText.
    QRect paint(QImage& image, int colourIndex, int x, int y, const char* bytes, int length);

private:
    static constexpr int tileCount = 1024;  // a direct-mapped cache; the console uses a few dozen

    struct Tile {
        uint32_t key = 0;  // 0: empty
        QImage image;
    };

    const QImage& tileFor(int colourIndex, const unsigned char* bytes, int size);

    QFont font_;
    Tile tiles_[tileCount];
};

}  // namespace kt57
