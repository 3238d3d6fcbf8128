#include "platform/win32/win32_main_window.h"

namespace kt57 {
namespace {

constexpr int initialWidth = 480;
constexpr int initialHeight = 300;

}  // namespace

bool Win32MainWindow::create(const char* title) {
    // No creation data: the menu comes with the class, the shell is attached right after.
    window_ = CreateWindowExA(0, mainClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              initialWidth, initialHeight, nullptr, nullptr, instance_, nullptr);
    if (window_ == nullptr) return false;
    // Messages sent during creation reach only DefWindowProcA; the first one the shell sees is the paint.
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner_));
    return true;
}

void Win32MainWindow::showAndUpdate() {
    ShowWindow(window_, showCommand_);
    UpdateWindow(window_);
}

void Win32MainWindow::destroy() {
    if (window_ != nullptr) DestroyWindow(window_);
}

void Win32MainWindow::postQuit(int exitCode) { PostQuitMessage(exitCode); }

}  // namespace kt57
