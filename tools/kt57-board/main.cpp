// kt57-board: a virtual KT57 I/O board as its own process. It serves the board model on a
// pseudo-terminal and registers it, so kt57d lists and opens it like a board on USB.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/display_check.h"
#include "common/version_option.h"
#include "platform/linux/board_locations.h"
#include "platform/linux/monotonic_clock.h"
#include "tools/kt57-board/board_options.h"
#include "tools/kt57-board/headless_board.h"
#include "tools/kt57-board/pin_recording.h"
#include "tools/kt57-board/pty_board.h"
#include "tools/kt57-board/shutdown_signals.h"

#ifdef KT57_BOARD_PANEL
#include "tools/kt57-board/board_panel.h"
#endif

namespace {

// Exit codes, one per kind of problem.
constexpr int exitBadArguments = 2;
constexpr int exitCannotServe = 3;
constexpr int exitNoDisplay = 5;
constexpr int exitRecording = 6;  // the --vcd file could not be created or written whole

}  // namespace

int main(int argc, char** argv) {
    if (kt57::printedVersion(argc, argv, "kt57-board")) return 0;
    kt57::BoardOptions options;
    char error[512];
    if (!kt57::parseBoardOptions(argc, argv, options, error, sizeof error)) {
        std::fprintf(stderr, "kt57-board: %s\n", error);
        return exitBadArguments;
    }
    if (options.help) {
        std::fputs(kt57::usageText(kt57::boardCommandLine).c_str(), stdout);
        return 0;
    }
#ifdef KT57_BOARD_PANEL
    if (!options.headless && !kt57::hasDisplay(argc, argv)) {
        std::fprintf(stderr, "kt57-board: no display for the panel; use --headless\n");
        return exitNoDisplay;
    }
#else
    if (!options.headless) {
        std::fprintf(stderr, "kt57-board: built without Qt, only --headless is available\n");
        return exitNoDisplay;
    }
#endif
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const int shutdownDescriptor = kt57::installShutdownSignals();
    if (shutdownDescriptor < 0) {
        std::perror("kt57-board: cannot watch for signals");
        return exitCannotServe;
    }

    const kt57::BoardLocations locations = kt57::defaultBoardLocations();
    kt57::MonotonicClock clock;
    kt57::PtyBoard board(locations.registryDirectory, clock);
    board.session.setSerialNumber(options.serialNumber);
    board.session.latencyMilliseconds = options.latencyMilliseconds;
    const int64_t start = kt57::monotonicMilliseconds();
    kt57::PinRecording recording(board.model, kt57::monotonicMicroseconds());
    if (options.vcdPath != nullptr) {
        std::string recordingError;
        if (!recording.open(options.vcdPath, recordingError)) {
            std::fprintf(stderr, "kt57-board: %s\n", recordingError.c_str());
            return exitRecording;
        }
    }
    kt57::PinRecording* const recordingUsed = options.vcdPath != nullptr ? &recording : nullptr;
    if (!board.plug(error, sizeof error)) {
        std::fprintf(stderr, "kt57-board: %s\n", error);
        return exitCannotServe;
    }
    std::printf("kt57-board: serving %s on %s, registered in %s\n", board.model.serialNumber, board.devicePath(),
                locations.registryDirectory);

    int status = 0;
#ifdef KT57_BOARD_PANEL
    if (!options.headless) {
        status = kt57::runBoardPanel(board, shutdownDescriptor, start, recordingUsed, argc, argv);
    } else {
        status = kt57::runHeadlessBoard(board, shutdownDescriptor, start, recordingUsed);
    }
#else
    status = kt57::runHeadlessBoard(board, shutdownDescriptor, start, recordingUsed);
#endif
    if (!recording.close() && status == 0) status = exitRecording;
    board.unplug();
    return status;
}
