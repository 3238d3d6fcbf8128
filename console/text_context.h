// Opening, closing and drawing into the console's drawing context.
#pragma once

#include "console/console_state.h"
#include "console/screen_places.h"

namespace kt57 {

void openTextContext(ConsoleState& console, int colourIndex);
void closeTextContext(ConsoleState& console);  // does nothing when none is open
// TextOutA on the open context: length bytes at (x, y). False when no context is open.
bool drawText(ConsoleState& console, int x, int y, const char* bytes, int length);
bool drawText(ConsoleState& console, ScreenPlace place, const char* bytes, int length);
bool drawText(ConsoleState& console, const PlacedText& text);
// The red-text sequence of the run-time errors: close, open red, draw, close, open black.
void drawErrorText(ConsoleState& console, const PlacedText& text);

}  // namespace kt57
