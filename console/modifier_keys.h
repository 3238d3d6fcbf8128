// The modifier-state service: Ctrl and Shift as they are at the moment of the call (GetAsyncKeyState).
#pragma once

namespace kt57 {

class ModifierKeys {
public:
    virtual ~ModifierKeys() = default;
    virtual bool controlHeld() = 0;
    virtual bool shiftHeld() = 0;
};

// For a shell without a keyboard: neither key is ever held.
ModifierKeys& noModifierKeys();

}  // namespace kt57
