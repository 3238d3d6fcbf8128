// Implements MainWindow for the headless shell.
#include "platform/headless/headless_window.h"

namespace kt57 {

bool HeadlessWindow::create(const char* title) {
    if (failCreation) return false;
    title_ = title != nullptr ? title : "";
    created_ = true;
    return true;
}

void HeadlessWindow::showAndUpdate() {
    if (alive()) paint();
}

void HeadlessWindow::destroy() {
    if (!alive()) return;
    destroyed_ = true;
    handleEvent(app_, ShellEvent::destroyed());
}

void HeadlessWindow::postQuit(int exitCode) {
    quitPosted_ = true;
    exitCode_ = exitCode;
}

void HeadlessWindow::paint() {
    if (!alive()) return;
    canvas_.clear();
    handleEvent(app_, ShellEvent::repaint());
}

}  // namespace kt57
