// The engine's null services: a shell that lacks one still gives the core a working object.
#include "engine/run_observer.h"
#include "engine/window_timer.h"

namespace kt57 {
namespace {

class NoTimer : public WindowTimer {
public:
    void setTimer(int) override {}
    void killTimer() override {}
};

}  // namespace

// Stateless, so one instance serves every sequencer that has no service of its own.
WindowTimer& noWindowTimer() {
    static NoTimer timer;
    return timer;
}

RunObserver& noObserver() {
    static RunObserver observer;  // every hook already does nothing
    return observer;
}

}  // namespace kt57
