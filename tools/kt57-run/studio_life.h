// When kt57-run --studio ends: at an interrupt from its console (Ctrl+C, or the console window
// closed on Windows), or once the page has gone. An open page holds an event stream; a reload
// closes it and opens a new one within moments, so the server ends only when no stream has been
// open for a grace period, and never before the first one has opened: a browser that is slow to
// start must still find the server there.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kt57 {

enum class StudioEnd { Interrupted, PageClosed };

class StudioLife {
public:
    explicit StudioLife(std::chrono::milliseconds grace) : grace_(grace) {}

    void streamOpened();
    void streamClosed();
    void interrupt();
    // Blocks until the studio is to end, and says why.
    StudioEnd wait();

private:
    using Clock = std::chrono::steady_clock;

    std::chrono::milliseconds grace_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int openStreams_ = 0;
    bool hadStream_ = false;
    bool interrupted_ = false;
    Clock::time_point lastClosed_{};
};

}  // namespace kt57
