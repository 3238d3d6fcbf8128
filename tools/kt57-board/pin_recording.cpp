#include "tools/kt57-board/pin_recording.h"

#include <cstdio>

#include "platform/linux/monotonic_clock.h"

namespace kt57 {

PinRecording::PinRecording(const BoardModel& model, int64_t startMicroseconds)
    : pins_(vcd_, model.outputs, model.inputs), start_(startMicroseconds) {}

bool PinRecording::open(const char* path, std::string& error) {
    path_ = path;
    if (vcd_.open(path_, "1 us", "kt57-board")) {
        lastFlush_ = elapsedMicroseconds();
        return true;
    }
    error = path_ + ": " + vcd_.error();
    return false;
}

void PinRecording::join(BoardSession& session) {
    next_ = session.events;
    session.events = this;
}

int64_t PinRecording::elapsedMicroseconds() const { return monotonicMicroseconds() - start_; }

void PinRecording::boardEvent(const BoardEvent& event) {
    if (vcd_.isOpen() && (event.kind == BoardEventKind::Outputs || event.kind == BoardEventKind::Inputs)) {
        pins_.record(elapsedMicroseconds(), event);
        unflushed_ = true;
    }
    if (next_ != nullptr) next_->boardEvent(event);
}

int PinRecording::millisecondsUntilFlush() const {
    if (!unflushed_ || !vcd_.isOpen()) return -1;
    const int64_t waited = (elapsedMicroseconds() - lastFlush_) / 1000;
    return waited >= flushIntervalMilliseconds ? 0 : static_cast<int>(flushIntervalMilliseconds - waited);
}

void PinRecording::flushIfDue() {
    if (millisecondsUntilFlush() == 0) flush();
}

void PinRecording::flush() {
    if (!unflushed_) return;
    unflushed_ = false;
    lastFlush_ = elapsedMicroseconds();
    if (!vcd_.flush()) reportFailure();
}

bool PinRecording::close() {
    if (failureReported_) return false;
    if (!vcd_.isOpen()) return true;
    if (vcd_.close(elapsedMicroseconds())) return true;
    reportFailure();
    return false;
}

void PinRecording::reportFailure() {
    if (failureReported_) return;
    failureReported_ = true;
    vcd_.abandon();
    std::fprintf(stderr, "kt57-board: %s: %s; recording stopped\n", path_.c_str(), vcd_.error().c_str());
}

int earlierTimeout(int a, int b) {
    if (a < 0) return b;
    if (b < 0) return a;
    return a < b ? a : b;
}

}  // namespace kt57
