// kt57d on Linux: the Qt shell's entry point. Like the Windows program it works in its working
// directory; it also takes a folder or a KT57Data.txt to work in (working_folder.h says why).
// Qt's own options (-platform ...) are Qt's.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/control_socket.h"
#include "common/version_option.h"
#include "platform/linux/tty_driver.h"
#include "platform/qt/command_server.h"
#include "platform/qt/desktop_shell.h"
#include "platform/qt/working_folder.h"
#include "sequencer/loader.h"

namespace {

constexpr int exitBadArguments = 2;

const char usage[] =
    "usage: kt57d [FOLDER | FOLDER/KT57Data.txt]\n"
    "  Runs the program FOLDER/KT57Data.txt (default: the working directory's) and saves the mode\n"
    "  in KT57Mode.txt beside it.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    if (kt57::printedVersion(argc, argv, "kt57d")) return 0;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }

    QApplication qtApplication(argc, argv);  // takes Qt's options out of argv
    const kt57::WorkingFolder folder = kt57::workingFolderFrom(argc - 1, argv + 1);
    if (!folder.error.empty()) {
        std::fprintf(stderr, "kt57d: %s\n", folder.error.c_str());
        return exitBadArguments;
    }
    // Without a program the window shows only its red no-program text; whoever started kt57d from a
    // shell or a launcher also learns which folder it looked in.
    std::error_code absent;
    std::filesystem::path where = std::filesystem::absolute(folder.directory, absent).lexically_normal();
    if (!where.has_filename()) where = where.parent_path();  // "/home/me/kt57", not "/home/me/kt57/."
    if (!std::filesystem::exists(where / kt57::programFileName, absent) && !absent) {
        std::fprintf(stderr, "kt57d: no %s in %s: the window starts without a program\n", kt57::programFileName,
                     where.c_str());
    }
    // Only the window's destruction ends the loop, through the quit request it posts.
    qtApplication.setQuitOnLastWindowClosed(false);

    kt57::TtyDriver driver;
    kt57::SleepingWait wait;
    kt57::DesktopShell shell(driver, wait, folder.directory.c_str());

    kt57::CommandServer commands([&shell](const kt57::ControlRequest& request) { shell.deliver(request); },
                                 [&shell] { return shell.stateLine(); });
    std::string reason;
    if (!commands.listen(kt57::controlSocketPath(), reason)) {
        std::fprintf(stderr, "kt57d: posted commands are off: %s\n", reason.c_str());
    }

    if (shell.startUp() == 0) return 0;
    return qtApplication.exec();
}
