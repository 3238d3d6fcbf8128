#include "platform/win32/win32_services.h"

namespace kt57 {
namespace {

constexpr UINT_PTR engineTimerId = 1;

bool keyHeld(int virtualKey) { return (static_cast<unsigned short>(GetAsyncKeyState(virtualKey)) & 0x8000u) != 0; }

}  // namespace

void Win32WindowTimer::setTimer(int intervalMilliseconds) {
    SetTimer(window_.handle(), engineTimerId, static_cast<UINT>(intervalMilliseconds), nullptr);
}

void Win32WindowTimer::killTimer() { KillTimer(window_.handle(), engineTimerId); }

void SleepWait::waitMilliseconds(int milliseconds) {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

bool AsyncModifierKeys::controlHeld() { return keyHeld(VK_CONTROL); }

bool AsyncModifierKeys::shiftHeld() { return keyHeld(VK_SHIFT); }

}  // namespace kt57
