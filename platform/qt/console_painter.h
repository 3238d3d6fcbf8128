// Drawing code page 932 text the way TextOutA does on the console: every byte owns an 8 x 16
// cell at its exact pixel position, whatever advances the font reports, on an opaque white
// background, so a later text always covers exactly the cells of an earlier one.
#pragma once
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>

namespace kt57 {

// The console palette entry (0-7) as a colour; an index outside the palette gives black.
QColor consoleColour(int colourIndex);

// Draws length bytes with the top-left corner at (x, y) into image and returns the area it
// covered (8 x length by 16 pixels, before clipping to the image). A control byte (0x00-0x1F,
// 0x7F) shows as the outline of controlBoxIn; a lone lead byte or an undefined pair shows the
// replacement character.
// The rectangle outlined in the cell at (cellX, cellY) for a control byte: ink from x + 1 to
// x + 6 and from y + 3 to y + 13 (QPainter's outline takes one pixel more than the rectangle).
QRect controlBoxIn(int cellX, int cellY);

QRect paintConsoleText(QImage& image, const QFont& font, const QColor& colour, int x, int y, const char* bytes,
                       int length);

}  // namespace kt57
