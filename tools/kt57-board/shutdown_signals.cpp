#include "tools/kt57-board/shutdown_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace kt57 {

namespace {

int signalPipe[2] = {-1, -1};

void onShutdownSignal(int signalNumber) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t ignored = write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

int installShutdownSignals() {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    struct sigaction action {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    constexpr int shutdownSignals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int signalNumber : shutdownSignals) sigaction(signalNumber, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return signalPipe[0];
}

}  // namespace kt57
