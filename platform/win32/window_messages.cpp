#include "platform/win32/window_messages.h"

namespace kt57 {
namespace {

uint16_t lowWord(uint64_t value) { return static_cast<uint16_t>(value & 0xFFFFu); }
uint16_t highWord(uint64_t value) { return static_cast<uint16_t>((value >> 16) & 0xFFFFu); }

}  // namespace

bool translateWindowMessage(uint32_t message, uint64_t wParam, int64_t lParam, ShellEvent& event) {
    const auto bits = static_cast<uint64_t>(lParam);
    switch (message) {
        case messageDestroy: event = ShellEvent::destroyed(); return true;
        case messagePaint: event = ShellEvent::repaint(); return true;
        case messageTimer: event = ShellEvent::tick(); return true;
        case messageCommand: event = ShellEvent::menu(lowWord(wParam)); return true;
        case messageChar: {
            const auto character = static_cast<uint32_t>(wParam);
            const bool posted = static_cast<uint32_t>(bits) == postedCommandMarker;
            event = posted ? ShellEvent::posted(character) : ShellEvent::typed(character);
            return true;
        }
        case messageLeftButtonDown: event = ShellEvent::click(lowWord(bits), highWord(bits)); return true;
        case messageLeftButtonDoubleClick: event = ShellEvent::doubleClick(lowWord(bits), highWord(bits)); return true;
        default: return false;
    }
}

}  // namespace kt57
