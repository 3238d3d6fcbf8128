// The console's request to end kt57-run --studio: Ctrl+C, SIGTERM and SIGHUP on POSIX; Ctrl+C,
// Ctrl+Break and the console window's close on Windows. Either way the request arrives on a
// thread of its own, which calls onInterrupt, so the main thread simply waits for the end.
#pragma once
#include <functional>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>

#include <atomic>
#include <thread>
#endif

namespace kt57 {

class ConsoleInterrupts {
public:
    // On POSIX, construct before any other thread starts: the signals are blocked in this thread,
    // every thread it starts inherits that, and one watcher takes them with sigwait. SIGPIPE is
    // ignored too, so that a page gone mid-answer ends only that answer.
    explicit ConsoleInterrupts(std::function<void()> onInterrupt);
    // Stops watching. On Windows a console being closed waits for this: its process ends once the
    // handler returns, so the handler holds it until the studio has shut down.
    ~ConsoleInterrupts();
    ConsoleInterrupts(const ConsoleInterrupts&) = delete;
    ConsoleInterrupts& operator=(const ConsoleInterrupts&) = delete;

private:
    std::function<void()> onInterrupt_;
#ifdef _WIN32
    static BOOL WINAPI onConsoleControl(DWORD type);
    HANDLE finished_;
#else
    std::atomic<bool> stopping_{false};
    std::thread watcher_;
#endif
};

}  // namespace kt57
