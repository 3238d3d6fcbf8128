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
// covered (8 x length by 16 pixels, before clipping to the image). Control bytes leave a blank
// cell; a lone lead byte or an undefined pair shows the replacement character.
QRect paintConsoleText(QImage& image, const QFont& font, const QColor& colour, int x, int y, const char* bytes,
                       int length);

}  // namespace kt57
