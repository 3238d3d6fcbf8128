// Timer 1 in virtual time. Set at t with interval i, it falls due at t+i, t+2i ... until it is
// killed or set again. As with a desktop window timer, ticks that fall due while the program is
// blocked are coalesced into one, delivered when the block ends.
#pragma once
#include <cstdint>

#include "platform/headless/virtual_clock.h"
#include "engine/window_timer.h"

namespace kt57 {

class HeadlessTimer : public WindowTimer {
public:
    explicit HeadlessTimer(VirtualClock& clock) : clock_(clock) {}

    void setTimer(int intervalMilliseconds) override {
        armed_ = true;
        interval_ = intervalMilliseconds > 0 ? intervalMilliseconds : 1;
        due_ = clock_.now() + interval_;
        ++generation_;
    }
    void killTimer() override {
        armed_ = false;
        ++generation_;
    }

    bool armed() const { return armed_; }
    int interval() const { return interval_; }
    int64_t due() const { return due_; }  // meaningful while armed
    // Changes with every set and kill: tells the loop whether a tick's handler touched the timer.
    uint64_t generation() const { return generation_; }

    struct State {
        bool armed = false;
        int interval = 0;
        int64_t due = 0;
        uint64_t generation = 0;
        bool operator==(const State&) const = default;
    };
    State saveState() const { return State{armed_, interval_, due_, generation_}; }
    void restoreState(const State& state) {
        armed_ = state.armed;
        interval_ = state.interval;
        due_ = state.due;
        generation_ = state.generation;
    }

    // After a tick that left the timer running: the next period, at most one of them overdue.
    void advancePastTick() {
        due_ += interval_;
        while (due_ + interval_ <= clock_.now()) due_ += interval_;
    }

private:
    VirtualClock& clock_;
    bool armed_ = false;
    int interval_ = 0;
    int64_t due_ = 0;
    uint64_t generation_ = 0;
};

}  // namespace kt57
