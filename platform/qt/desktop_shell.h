// kt57d's shell on Qt, assembled: the application records with the Qt services wired in. The
// board driver and the blocking wait come from outside, so tests can put the in-process virtual
// board and a wait that does not sleep in their place.
#pragma once
#include <memory>
#include <string>

#include "common/control_protocol.h"
#include "device/blocking_wait.h"
#include "device/ft_driver.h"
#include "engine/error_stop_tally.h"
#include "platform/posix/posix_files.h"
#include "platform/qt/desktop_window.h"
#include "platform/qt/image_text_surface.h"
#include "platform/qt/qt_services.h"
#include "shell/application.h"

namespace kt57 {

class DesktopShell {
public:
    // directory holds KT57Data.txt and KT57Mode.txt; kt57d uses its working directory.
    DesktopShell(FtDriver& driver, BlockingWait& wait, const char* directory = ".");
    DesktopShell(const DesktopShell&) = delete;
    DesktopShell& operator=(const DesktopShell&) = delete;

    // The start-up sequence; 1 when the event loop is to run, 0 when the program must end.
    int startUp();
    // A request that kt57-ctl posted.
    void deliver(const ControlRequest& request);
    // kt57-ctl's `state`: the run state in kt57-run's words, then the error stops so far.
    std::string stateLine() const;

    Application& application() { return app_; }
    DesktopWindow& window() { return *window_; }
    ImageTextSurface& surface() { return surface_; }
    QtWindowTimer& timer() { return timer_; }

private:
    Application app_;
    ImageTextSurface surface_;
    QtModifierKeys modifiers_;
    QtWindowTimer timer_;
    PresentingWait startUpWait_;
    PosixFiles files_;
    ErrorStopTally errorStops_;
    std::unique_ptr<DesktopWindow> window_;
};

}  // namespace kt57
