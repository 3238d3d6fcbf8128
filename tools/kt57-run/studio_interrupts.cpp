#include "tools/kt57-run/studio_interrupts.h"

#include <utility>

namespace kt57 {

#ifdef _WIN32

namespace {
// The console calls a plain function with no context: it reaches the one watcher through this.
ConsoleInterrupts* activeInterrupts = nullptr;
}  // namespace

ConsoleInterrupts::ConsoleInterrupts(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)), finished_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    activeInterrupts = this;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

ConsoleInterrupts::~ConsoleInterrupts() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    if (finished_ != nullptr) SetEvent(finished_);
}

BOOL WINAPI ConsoleInterrupts::onConsoleControl(DWORD type) {
    ConsoleInterrupts* interrupts = activeInterrupts;
    if (interrupts == nullptr) return FALSE;
    interrupts->onInterrupt_();
    // Windows ends the process when the handler of a closing console returns, and gives it
    // a few seconds at most: enough for the server to stop.
    if (type == CTRL_CLOSE_EVENT && interrupts->finished_ != nullptr) WaitForSingleObject(interrupts->finished_, 4000);
    return TRUE;
}

#else

namespace {

sigset_t interruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

}  // namespace

ConsoleInterrupts::ConsoleInterrupts(std::function<void()> onInterrupt) : onInterrupt_(std::move(onInterrupt)) {
    const sigset_t signals = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    watcher_ = std::thread([this, signals] {
        for (;;) {
            int received = 0;
            if (sigwait(&signals, &received) != 0) continue;
            if (stopping_) return;
            onInterrupt_();
        }
    });
}

ConsoleInterrupts::~ConsoleInterrupts() {
    stopping_ = true;
    // One of its own signals wakes the watcher from sigwait.
    pthread_kill(watcher_.native_handle(), SIGTERM);
    watcher_.join();
    // The signals stay blocked: the process ends with the studio, and a second Ctrl+C during the
    // shutdown must not turn a clean end into a killed one.
}

#endif

}  // namespace kt57
