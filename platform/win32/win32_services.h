// The small Windows services of the core: timer 1 of the main window, blocking waits, the
// Ctrl and Shift state at the moment a click is handled, and the mode file's replacement.
#pragma once
#include <windows.h>

#include "console/modifier_keys.h"
#include "device/blocking_wait.h"
#include "platform/win32/win32_main_window.h"
#include "engine/window_timer.h"
#include "sequencer/file_service.h"

namespace kt57 {

// SetTimer/KillTimer with identifier 1 and no callback: the ticks arrive as WM_TIMER.
class Win32WindowTimer : public WindowTimer {
public:
    explicit Win32WindowTimer(const Win32MainWindow& window) : window_(window) {}
    void setTimer(int intervalMilliseconds) override;
    void killTimer() override;

private:
    const Win32MainWindow& window_;
};

class SleepWait : public BlockingWait {
public:
    void waitMilliseconds(int milliseconds) override;
};

// GetAsyncKeyState: held when the most significant bit of the result is set.
class AsyncModifierKeys : public ModifierKeys {
public:
    bool controlHeld() override;
    bool shiftHeld() override;
};

// Reading stays standard: a name in a folder cannot be a pipe or a device on Windows. Replacing
// flushes with FlushFileBuffers and renames with MOVEFILE_WRITE_THROUGH, which returns only once
// the rename is on the disk.
class Win32Files : public StandardFiles {
public:
    bool syncToDisk(std::FILE* file) override;
    bool replace(const char* fresh, const char* target) override;
};

}  // namespace kt57
