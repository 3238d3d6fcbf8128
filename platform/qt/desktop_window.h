// The main window on Qt: the MainWindow service of start-up and shutdown, the menu "ﾒﾆｭｰ" with
// "ﾌﾟﾛｸﾞﾗﾑ終了" (command 40001), the title-bar close, and the window system's repaint requests.
//
// Outer size: Windows sizes the whole window, frame, title bar and menu included. Here the
// window's frame geometry is made that size: the decorations the window manager reports are
// taken off before the window itself is sized, and without a window manager (or before the
// window is first shown, when none are known yet) the window itself, menu bar included, gets
// the size. The console is what is left below the menu bar.
#pragma once
#include <QMainWindow>
#include <QSize>
#include <cstdint>

#include "platform/qt/frame_pacer.h"
#include "shell/application.h"
#include "shell/main_window.h"

namespace kt57 {

class ConsoleView;
class ImageTextSurface;

class DesktopWindow : public QMainWindow, public MainWindow {
public:
    DesktopWindow(Application& app, ImageTextSurface& surface);
    ~DesktopWindow() override;

    // MainWindow
    bool create(const char* title) override;
    void showAndUpdate() override;
    void destroy() override;
    void postQuit(int exitCode) override;

    // One event to the application, then what it drew is presented. Events after the window's
    // destruction are dropped, as a destroyed window receives nothing.
    void deliver(const ShellEvent& event);
    // The title bar's close box: closing a window destroys it.
    void closeFromTitleBar();
    // A repaint request from the window system (exposed, restored, made larger): the client
    // area cleared to white, then the application's repaint handling.
    void repaintRequested();
    // Paints what was drawn since the last present, now rather than from the event loop.
    void presentNow();

    ConsoleView& console() { return *console_; }
    bool destroyed() const { return destroyed_; }
    bool quitPosted() const { return quitPosted_; }
    int exitCode() const { return exitCode_; }
    QSize requestedOuterSize() const { return requestedOuterSize_; }
    FramePacer& framePacer() { return pacer_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void present();
    void setOuterSize(int width, int height);
    void scheduleRepaint();

    Application& app_;
    ImageTextSurface& surface_;
    ConsoleView* console_ = nullptr;
    FramePacer pacer_;
    QSize requestedOuterSize_;
    bool shown_ = false;
    bool destroyed_ = false;
    bool quitPosted_ = false;
    bool repaintPending_ = false;
    int exitCode_ = 0;
};

}  // namespace kt57
