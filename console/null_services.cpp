// The console's null services: a shell that lacks one still gives the core a working object.
#include "console/modifier_keys.h"
#include "console/text_surface.h"

namespace kt57 {
namespace {

class NoSurface : public TextSurface {
public:
    void openContext(int) override {}
    void closeContext() override {}
    bool drawText(int, int, const char*, int) override { return false; }
    void resizeWindow(int, int) override {}
};

class NoModifiers : public ModifierKeys {
public:
    bool controlHeld() override { return false; }
    bool shiftHeld() override { return false; }
};

}  // namespace

// Stateless, so one instance serves every console that has no service of its own.
TextSurface& noTextSurface() {
    static NoSurface surface;
    return surface;
}

ModifierKeys& noModifierKeys() {
    static NoModifiers modifiers;
    return modifiers;
}

}  // namespace kt57
