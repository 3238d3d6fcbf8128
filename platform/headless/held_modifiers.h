// Ctrl and Shift in the headless shell: held by a scripted click for the time it is handled.
#pragma once

#include "console/modifier_keys.h"

namespace kt57 {

class HeldModifiers : public ModifierKeys {
public:
    bool controlHeld() override { return control; }
    bool shiftHeld() override { return shift; }

    bool control = false;
    bool shift = false;
};

}  // namespace kt57
