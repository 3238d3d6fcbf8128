// The main window's messages as Windows numbers them, and their translation into the application's
// events. Only the Windows shell speaks in messages; portable, so the translation is tested on any
// host.
#pragma once
#include <cstdint>

#include "shell/shell_event.h"

namespace kt57 {

enum WindowMessage : uint32_t {
    messageDestroy = 0x0002,
    messagePaint = 0x000F,
    messageChar = 0x0102,
    messageCommand = 0x0111,
    messageTimer = 0x0113,
    messageLeftButtonDown = 0x0201,
    messageLeftButtonDoubleClick = 0x0203,
};

// The lParam with which another program posts 'A' or 'P' as a mode command. A typed character's
// lParam carries a repeat count and a scan code, so it is never this.
inline constexpr uint32_t postedCommandMarker = 0x4B;

// The event a message of the main window stands for; false for a message the application leaves
// to DefWindowProc. A click's position is the low and high 16 bits of lParam; a command's
// identifier is the low 16 bits of wParam.
bool translateWindowMessage(uint32_t message, uint64_t wParam, int64_t lParam, ShellEvent& event);

}  // namespace kt57
