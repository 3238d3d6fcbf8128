#include "platform/qt/desktop_shell.h"

#include "engine/state_line.h"
#include "shell/services.h"

namespace kt57 {

DesktopShell::DesktopShell(FtDriver& driver, BlockingWait& wait, const char* directory)
    : timer_([this] { window_->deliver(ShellEvent::tick()); }),
      startUpWait_(wait, [this] { window_->presentNow(); }),
      window_(std::make_unique<DesktopWindow>(app_, surface_)) {
    PlatformServices services;
    services.driver = &driver;
    services.wait = &wait;
    services.startUpWait = &startUpWait_;
    services.surface = &surface_;
    services.modifiers = &modifiers_;
    services.timer = &timer_;
    services.window = window_.get();
    services.files = &files_;
    services.observer = &errorStops_;
    installServices(app_, services);
    app_.directory = directory;
}

int DesktopShell::startUp() {
    const int result = kt57::startUp(app_);
    window_->presentNow();
    return result;
}

void DesktopShell::deliver(const ControlRequest& request) {
    if (request.action == ControlAction::Close) {
        window_->closeFromTitleBar();
        return;
    }
    window_->deliver(request.event);
}

std::string DesktopShell::stateLine() const {
    char state[stateLineCapacity];
    const int length = formatStateLine(app_.sequencer, state);
    return std::string(state, static_cast<size_t>(length)) + " " + formatErrorStops(errorStops_);
}

}  // namespace kt57
