#include "tools/kt57-run/studio_life.h"

namespace kt57 {

void StudioLife::streamOpened() {
    const std::lock_guard lock(mutex_);
    ++openStreams_;
    hadStream_ = true;
    changed_.notify_all();
}

void StudioLife::streamClosed() {
    const std::lock_guard lock(mutex_);
    if (openStreams_ > 0) --openStreams_;
    lastClosed_ = Clock::now();
    changed_.notify_all();
}

void StudioLife::interrupt() {
    const std::lock_guard lock(mutex_);
    interrupted_ = true;
    changed_.notify_all();
}

StudioEnd StudioLife::wait() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (interrupted_) return StudioEnd::Interrupted;
        if (!hadStream_ || openStreams_ > 0) {
            changed_.wait(lock);
            continue;
        }
        const Clock::time_point end = lastClosed_ + grace_;
        if (Clock::now() >= end) return StudioEnd::PageClosed;
        changed_.wait_until(lock, end);
    }
}

}  // namespace kt57
