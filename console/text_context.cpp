#include "console/text_context.h"

#include "console/palette.h"

namespace kt57 {

void openTextContext(ConsoleState& console, int colourIndex) {
    // A fresh context replaces one still open (a paint opens over start-up's), so none is leaked.
    closeTextContext(console);
    if (colourIndex < 0 || colourIndex > paletteWhite) colourIndex = paletteBlack;
    console.surface->openContext(colourIndex);
    console.context.open = 1;
    console.context.colourIndex = colourIndex;
}

void closeTextContext(ConsoleState& console) {
    if (console.context.open == 0) return;
    console.surface->closeContext();
    console.context.open = 0;
}

bool drawText(ConsoleState& console, int x, int y, const char* bytes, int length) {
    if (console.context.open == 0 || bytes == nullptr || length < 0) return false;
    return console.surface->drawText(x, y, bytes, length);
}

bool drawText(ConsoleState& console, ScreenPlace place, const char* bytes, int length) {
    return drawText(console, place.x, place.y, bytes, length);
}

bool drawText(ConsoleState& console, const PlacedText& text) {
    return drawText(console, text.place, text.bytes, text.length);
}

void drawErrorText(ConsoleState& console, const PlacedText& text) {
    closeTextContext(console);
    openTextContext(console, paletteRed);
    drawText(console, text);
    closeTextContext(console);
    openTextContext(console, paletteBlack);
}

}  // namespace kt57
