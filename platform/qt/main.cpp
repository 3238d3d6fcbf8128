// kt57d on Linux: the Qt shell's entry point. Like the Windows program it takes no arguments of
// its own and works in its working directory; Qt's own options (-platform ...) are Qt's.
#include <QApplication>
#include <cstdio>
#include <string>

#include "platform/linux/tty_driver.h"
#include "platform/qt/command_server.h"
#include "platform/qt/desktop_shell.h"
#include "tools/kt57-ctl/control_socket.h"

int main(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    // Only the window's destruction ends the loop, through the quit request it posts.
    qtApplication.setQuitOnLastWindowClosed(false);

    kt57::TtyDriver driver;
    kt57::SleepingWait wait;
    kt57::DesktopShell shell(driver, wait);

    kt57::CommandServer commands([&shell](const kt57::ControlRequest& request) { shell.deliver(request); },
                                 [&shell] { return shell.stateLine(); });
    std::string reason;
    if (!commands.listen(kt57::controlSocketPath(), reason)) {
        std::fprintf(stderr, "kt57d: posted commands are off: %s\n", reason.c_str());
    }

    if (shell.startUp() == 0) return 0;
    return qtApplication.exec();
}
