// kt57d on Linux: the Qt shell's entry point. Like the Windows program it works in its working
// directory; it also takes a folder or a KT57Data.txt to work in (working_folder.h says why).
// Qt's own options (-platform ...) are Qt's.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/command_options.h"
#include "common/control_socket.h"
#include "common/display_check.h"
#include "common/version_option.h"
#include "platform/linux/tty_driver.h"
#include "platform/qt/command_server.h"
#include "platform/qt/desktop_shell.h"
#include "platform/qt/working_folder.h"
#include "sequencer/loader.h"

namespace {

constexpr int exitCannotStart = 2;  // a bad argument or no display, said in one line

constexpr kt57::CommandLine commandLine{
    "kt57d", {}, "[FOLDER | FOLDER/KT57Data.txt]",
    "Runs the program FOLDER/KT57Data.txt (default: the working directory's) and saves the mode in\n"
    "KT57Mode.txt beside it. Qt's own options, such as -platform offscreen, are taken too.\n"};

// While QApplication starts. Qt ends the program with abort() when its platform plugin finds no
// display at the address given (a DISPLAY left behind by a closed session), after the plugin's own
// lines; the user gets one line and the status of a start that could not be made instead.
void refuseUnreachableDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::string settings;
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            const char* value = std::getenv(name);
            if (value != nullptr) settings += std::string(settings.empty() ? "" : ", ") + name + "=" + value;
        }
        std::fprintf(stderr, "kt57d: no display answers (%s); -platform offscreen needs none\n", settings.c_str());
        std::_Exit(exitCannotStart);
    }
    const bool platformPlugin = context.category != nullptr && std::strncmp(context.category, "qt.qpa.", 7) == 0;
    if (!platformPlugin) std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    if (kt57::printedVersion(argc, argv, "kt57d")) return 0;
    if (argc == 2 && kt57::isHelpOption(argv[1])) {
        std::fputs(kt57::usageText(commandLine).c_str(), stdout);
        return 0;
    }
    if (!kt57::hasDisplay(argc, argv)) {
        std::fprintf(stderr, "kt57d: no display: DISPLAY and WAYLAND_DISPLAY are unset; -platform offscreen needs none\n");
        return exitCannotStart;
    }

    const QtMessageHandler previousHandler = qInstallMessageHandler(refuseUnreachableDisplay);
    QApplication qtApplication(argc, argv);  // takes Qt's options out of argv
    qInstallMessageHandler(previousHandler);
    const kt57::WorkingFolder folder = kt57::workingFolderFrom(argc - 1, argv + 1);
    if (!folder.error.empty()) {
        std::fprintf(stderr, "kt57d: %s\n", folder.error.c_str());
        return exitCannotStart;
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
