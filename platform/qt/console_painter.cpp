#include "platform/qt/console_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include "console/cp932.h"
#include "console/palette.h"
#include "platform/qt/console_font.h"

namespace kt57 {

QColor consoleColour(int colourIndex) {
    if (colourIndex < 0 || colourIndex > 7) colourIndex = paletteBlack;
    const uint32_t bgr = consolePalette.colours[colourIndex];  // COLORREF: 0x00BBGGRR
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QRect controlBoxIn(int cellX, int cellY) { return QRect(cellX + 1, cellY + 3, 5, 10); }

QRect paintConsoleText(QImage& image, const QFont& font, const QColor& colour, int x, int y, const char* bytes,
                       int length) {
    if (bytes == nullptr || length <= 0) return {};
    const QRect covered(x, y, consoleCellWidth * length, consoleCellHeight);
    QPainter painter(&image);
    painter.fillRect(covered, Qt::white);
    painter.setFont(font);
    painter.setPen(colour);
    const int baseline = y + QFontMetrics(font).ascent();
    const auto* text = reinterpret_cast<const unsigned char*>(bytes);
    int offset = 0;
    while (offset < length) {
        uint32_t codePoint = replacementCharacter;
        const int size = decodeCp932(text + offset, static_cast<size_t>(length - offset), &codePoint);
        const int cellX = x + consoleCellWidth * offset;
        // Clipped to its own cells, a glyph wider than its cells cannot spill into a neighbour.
        painter.setClipRect(QRect(cellX, y, consoleCellWidth * size, consoleCellHeight));
        if (codePoint < 0x20 || codePoint == 0x7F) {
            // Windows draws the font's glyph for a control byte, so the CR that ends a frame is
            // seen there; no installed face has the control pictures, so a box stands for them.
            painter.drawRect(controlBoxIn(cellX, y));
        } else {
            const char32_t character = codePoint;
            painter.drawText(QPoint(cellX, baseline), QString::fromUcs4(&character, 1));
        }
        offset += size;
    }
    return covered;
}

}  // namespace kt57
