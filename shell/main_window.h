// The window service a platform shell provides to the start-up and shutdown logic.
#pragma once

namespace kt57 {

class MainWindow {
public:
    virtual ~MainWindow() = default;
    // CreateWindowExA: the main window, 480 x 300 outer, title in code page 932. False on failure.
    virtual bool create(const char* title) = 0;
    // ShowWindow + UpdateWindow: shows the window and paints it at once; the shell runs the
    // application's paint handling before this returns.
    virtual void showAndUpdate() = 0;
    // DestroyWindow: the shell delivers the destroy handling before this returns.
    virtual void destroy() = 0;
    // PostQuitMessage: the message loop ends with this exit code.
    virtual void postQuit(int exitCode) = 0;
};

// For a shell without a window: creating one fails, so start-up goes no further.
MainWindow& noMainWindow();

}  // namespace kt57
