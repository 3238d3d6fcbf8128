// The main window as the application's window service: CreateWindowExA, ShowWindow/UpdateWindow,
// DestroyWindow and PostQuitMessage on the one window of class "WIN32CLASS".
#pragma once
#include <windows.h>

#include "shell/main_window.h"

namespace kt57 {

inline constexpr char mainClassName[] = "WIN32CLASS";

class Win32MainWindow : public MainWindow {
public:
    // owner is stored in the window's user data, where mainWindowProc finds its shell again.
    Win32MainWindow(HINSTANCE instance, int showCommand, void* owner)
        : instance_(instance), showCommand_(showCommand), owner_(owner) {}

    bool create(const char* title) override;
    void showAndUpdate() override;
    void destroy() override;
    void postQuit(int exitCode) override;

    HWND handle() const { return window_; }

private:
    HINSTANCE instance_;
    int showCommand_;
    void* owner_;
    HWND window_ = nullptr;
};

}  // namespace kt57
