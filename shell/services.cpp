#include "shell/services.h"

#include "shell/application.h"

namespace kt57 {
namespace {

class NoWindow : public MainWindow {
public:
    bool create(const char*) override { return false; }
    void showAndUpdate() override {}
    void destroy() override {}
    void postQuit(int) override {}
};

template <typename Service>
void install(Service*& slot, Service* service) {
    if (service != nullptr) slot = service;
}

}  // namespace

MainWindow& noMainWindow() {
    static NoWindow window;  // stateless: one serves every application without a window
    return window;
}

void installServices(Application& app, const PlatformServices& services) {
    Sequencer& s = app.sequencer;
    install(s.link.driver, services.driver);
    install(s.link.wait, services.wait);
    install(app.wait, services.startUpWait != nullptr ? services.startUpWait : services.wait);
    install(s.console.surface, services.surface);
    install(s.console.modifiers, services.modifiers);
    install(s.timer, services.timer);
    install(app.window, services.window);
    install(s.observer, services.observer);
    install(app.files, services.files);
}

}  // namespace kt57
