#include "console/text_context.h"

#include "console/palette.h"

namespace kt57 {

void openTextContext(ConsoleState& console, int colourIndex) {
    if (console.surface == nullptr) return;
    // A fresh context replaces one still open (a paint opens over start-up's), so none is leaked.
    closeTextContext(console);
    if (colourIndex < 0 || colourIndex > paletteWhite) colourIndex = paletteBlack;
    console.surface->openContext(colourIndex);
    console.context.open = 1;
    console.context.colourIndex = colourIndex;
}

void closeTextContext(ConsoleState& console) {
    if (console.context.open == 0) return;
    if (console.surface != nullptr) console.surface->closeContext();
    console.context.open = 0;
}

bool drawText(ConsoleState& console, int x, int y, const char* bytes, int length) {
    if (console.context.open == 0 || console.surface == nullptr || bytes == nullptr || length < 0) return false;
    return console.surface->drawText(x, y, bytes, length);
}

void drawErrorText(ConsoleState& console, int x, int y, const char* bytes, int length) {
    closeTextContext(console);
    openTextContext(console, paletteRed);
    drawText(console, x, y, bytes, length);
    closeTextContext(console);
    openTextContext(console, paletteBlack);
}

}  // namespace kt57
