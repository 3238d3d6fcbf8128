// The console's eight colours, as COLORREF values (0x00BBGGRR).
#pragma once
#include <cstdint>

namespace kt57 {

struct ConsolePalette {
    uint32_t colours[8];
};

constexpr int paletteBlack = 0;  // all normal text
constexpr int paletteRed = 4;    // error and start-up failure texts
constexpr int paletteWhite = 7;  // background of every context

// Entries 1-3, 5 and 6 are kept for the platform shells' sake; no caller draws in them.
inline constexpr ConsolePalette consolePalette = {{
    0x000000,  // black
    0xFF0000,  // blue
    0x00FF00,  // green
    0xFFFF00,  // cyan
    0x0000FF,  // red
    0xFF00FF,  // magenta
    0x00FFFF,  // yellow
    0xFFFFFF,  // white
}};

}  // namespace kt57
