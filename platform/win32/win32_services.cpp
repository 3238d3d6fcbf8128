#include "platform/win32/win32_services.h"

#include <io.h>

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

bool Win32Files::syncToDisk(std::FILE* file) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
}

bool Win32Files::replace(const char* fresh, const char* target) {
    return MoveFileExA(fresh, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace kt57
