// The console's process-wide state: the open drawing context and the two display flags.
#pragma once
#include <cstdint>

#include "console/modifier_keys.h"
#include "console/text_surface.h"

namespace kt57 {

struct TextContext {
    int32_t open = 0;         // 1 while a context is open
    int32_t colourIndex = 0;  // palette index it was opened with

    bool operator==(const TextContext&) const = default;
};

struct ConsoleState {
    TextContext context;
    int32_t detailView = 0;    // listing, label field and frames shown
    int32_t listingDirty = 0;  // next drawListing draws numbers and texts too
    TextSurface* surface = &noTextSurface();       // platform service
    ModifierKeys* modifiers = &noModifierKeys();  // platform service

    bool operator==(const ConsoleState&) const = default;
};

}  // namespace kt57
