// The headless face implements: one poll loop over the signal pipe, standard input and the
// pseudo-terminal, with the reply latency as its time-out; control lines applied as they come.
#include "tools/kt57-board/headless_board.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "board/board_log.h"
#include "platform/linux/monotonic_clock.h"
#include "tools/kt57-board/board_controls.h"

namespace kt57 {

namespace {

class StandardOutputLog : public BoardEventSink {
public:
    StandardOutputLog(PtyBoard& board, int64_t start) : board_(board), start_(start) {}
    void boardEvent(const BoardEvent& event) override {
        char line[1200];
        if (formatBoardEvent(event, start_, board_.devicePath(), line, sizeof line)) std::printf("%s\n", line);
    }
    void note(const char* text) {
        char line[400];
        formatBoardNote(text, monotonicMilliseconds() - start_, line, sizeof line);
        std::printf("%s\n", line);
    }

private:
    PtyBoard& board_;
    int64_t start_;
};

// Applies one control line; false when it asks the board to end.
bool applyControl(const char* line, PtyBoard& board, StandardOutputLog& log) {
    const ControlOutcome outcome = applyControlLine(board, line);
    if (outcome.note[0] != '\0') log.note(outcome.note);
    if (outcome.problem[0] != '\0') std::fprintf(stderr, "kt57-board: %s\n", outcome.problem);
    if (outcome.help != nullptr) std::printf("%s\n", outcome.help);
    return !outcome.quit;
}

}  // namespace

int runHeadlessBoard(PtyBoard& board, int shutdownDescriptor, int64_t startMilliseconds, PinRecording* recording) {
    StandardOutputLog log(board, startMilliseconds);
    board.session.events = &log;
    if (recording != nullptr) recording->join(board.session);
    char pending[1024];
    size_t pendingSize = 0;
    bool readingInput = true;
    for (;;) {
        pollfd watched[3] = {{shutdownDescriptor, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}, {board.descriptor(), POLLIN, 0}};
        watched[1].fd = readingInput ? STDIN_FILENO : -1;
        std::fflush(stdout);
        const int flushDue = recording != nullptr ? recording->millisecondsUntilFlush() : -1;
        const int ready = poll(watched, 3, earlierTimeout(board.millisecondsUntilDue(), flushDue));
        if (ready < 0 && errno != EINTR) {
            std::perror("kt57-board: poll");
            board.session.events = nullptr;
            return 4;
        }
        if (ready > 0 && watched[0].revents != 0) break;
        if (ready > 0 && (watched[2].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (watched[2].revents & POLLIN) == 0) {
            std::fprintf(stderr, "kt57-board: the pseudo-terminal failed; board unplugged\n");
            board.unplug();
        }
        board.service();
        if (recording != nullptr) recording->flushIfDue();
        if (ready <= 0 || watched[1].revents == 0) continue;

        const ssize_t got = read(STDIN_FILENO, pending + pendingSize, sizeof pending - 1 - pendingSize);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            readingInput = false;  // keep serving: the board may run with its input closed
            continue;
        }
        pendingSize += static_cast<size_t>(got);
        pending[pendingSize] = '\0';
        char* start = pending;
        bool keepRunning = true;
        while (char* newline = std::strchr(start, '\n')) {
            *newline = '\0';
            keepRunning = applyControl(start, board, log);
            start = newline + 1;
            if (!keepRunning) break;
        }
        pendingSize = static_cast<size_t>(pending + pendingSize - start);
        std::memmove(pending, start, pendingSize);
        if (pendingSize == sizeof pending - 1) {
            std::fprintf(stderr, "kt57-board: control line too long, dropped\n");
            pendingSize = 0;
        }
        if (!keepRunning) break;
    }
    std::fflush(stdout);
    board.session.events = nullptr;
    return 0;
}

}  // namespace kt57
