// The blocking-wait service: the thread does nothing else for the given time.
// Real shells sleep; the headless shell advances its virtual clock.
#pragma once

namespace kt57 {

class BlockingWait {
public:
    virtual ~BlockingWait() = default;
    virtual void waitMilliseconds(int milliseconds) = 0;
};

// For a shell without waits: returns at once.
BlockingWait& noBlockingWait();

}  // namespace kt57
