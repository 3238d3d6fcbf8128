#include "timeline/timeline.h"

#include <algorithm>

#include "timeline/timeline_recorder.h"

namespace kt57 {

namespace {

bool ended(const HeadlessRun& run) { return run.finished() || run.idle(); }

// A message's own work, in units of four texts drawn: what delivering a tick that
// draws little costs against one that redraws the listing.
constexpr uint64_t messageCost = 50;

}  // namespace

Timeline::Timeline(TimelineLimits limits) : limits_(limits) {}

Timeline::~Timeline() { run_.reset(); }

bool Timeline::build(const RehearsalInputs& inputs, std::string& error) {
    if (run_ != nullptr) {
        error = "a timeline is built once";
        return false;
    }
    folder_ = std::make_unique<ScratchFolder>("kt57-timeline");
    if (!folder_->error().empty()) {
        error = folder_->error();
        return false;
    }
    if (!writeRehearsalFolder(inputs, folder_->path(), error)) return false;
    until_ = inputs.until;
    spacing_ = std::max<uint64_t>(limits_.checkpointCost, 1);
    run_ = std::make_unique<HeadlessRun>(HeadlessOptions{folder_->path(), inputs.boardSerial});
    HeadlessRun& run = *run_;
    TimelineRecorder recorder(run, record_);
    run.setObserver(&recorder);
    run.board().session.events = &recorder;
    for (const HeadlessEvent& event : inputs.events) run.post(event);

    run.start();
    recorder.started();
    run.save(loaded_);
    checkpoints_.append(0, loaded_);
    drawsBefore_ = run.canvas().drawCount();
    uint64_t cost = 0;
    // kt57-run's rule: every message due by until, unless the rehearsal ends first.
    endedEarly_ = ended(run);
    while (!endedEarly_) {
        const int64_t due = run.nextDue();
        if (due > until_) break;
        recorder.beginDelivery(due);
        run.step(until_);
        recorder.endDelivery();
        cost += costOfStep();
        endedEarly_ = ended(run);
        if (cost >= spacing_) {
            cost = 0;
            run.save(loaded_);
            checkpoints_.append(messageCount(), loaded_);
            if (checkpoints_.size() > std::max<size_t>(limits_.maxCheckpoints, 2)) {
                checkpoints_.keepEveryOther();
                spacing_ *= 2;
            }
        }
    }
    // Replays only re-run what was recorded.
    run.board().session.events = nullptr;
    run.sequencer().observer = &noObserver();
    position_ = messageCount();
    clockAtPosition_ = run.now();
    endTime_ = endedEarly_ ? run.now() : std::max(run.now(), until_);
    return true;
}

uint64_t Timeline::scratchStride() const {
    return std::max<uint64_t>(spacing_ / std::max<size_t>(limits_.scratchPerCheckpoint, 1), 1);
}

// What replaying the message just delivered cost: drawing is most of a tick's work.
uint64_t Timeline::costOfStep() {
    const long draws = run_->canvas().drawCount();
    const uint64_t cost = messageCost + static_cast<uint64_t>(draws - drawsBefore_) / 4;
    drawsBefore_ = draws;
    return cost;
}

uint32_t Timeline::positionAt(int64_t t) const {
    const auto& due = record_.deliveryDue;
    return static_cast<uint32_t>(std::upper_bound(due.begin(), due.end(), t) - due.begin());
}

void Timeline::replayTo(uint32_t position, bool leaveScratchBehind) {
    HeadlessRun& run = *run_;
    run.clock().restoreNow(clockAtPosition_);
    // A seek starts before its position even when a checkpoint stands on it: the replay then passes
    // the moments just before it and leaves scratch there, so that the step back that often follows
    // a seek is short too. A step lands on a checkpoint directly.
    const uint32_t from = leaveScratchBehind && position > 0 ? position - 1 : position;
    const size_t span = checkpoints_.latestAtOrBefore(from);
    if (span != scratchSpan_) {
        scratchSpan_ = span;
        scratchUsed_ = 0;
    }
    // The nearest start at or before position: a scratch checkpoint of this span, or the checkpoint.
    uint32_t start = checkpoints_.position(span);
    const Scratch* nearest = nullptr;
    for (size_t i = scratchUsed_; i-- > 0;) {
        if (scratch_[i].position <= from) {
            nearest = &scratch_[i];
            start = nearest->position;
            break;
        }
    }
    // Going on from where the run stands is never longer than from a start before it.
    if (position_ > position || position_ < start) {
        if (nearest != nullptr) {
            run.restore(nearest->snapshot);
        } else {
            checkpoints_.load(span, loaded_);
            run.restore(loaded_);
        }
        position_ = start;
    }
    // Scratch checkpoints on the way, past the last one laid, for the steps back that follow.
    const uint64_t stride = scratchStride();
    uint64_t cost = 0;
    drawsBefore_ = run.canvas().drawCount();
    while (position_ < position && run.step(until_)) {
        ++position_;
        ++replayed_;
        cost += costOfStep();
        const bool beyond = scratchUsed_ == 0 || scratch_[scratchUsed_ - 1].position < position_;
        if (cost >= stride && beyond && position_ < position) {
            cost = 0;
            if (scratchUsed_ == scratch_.size()) scratch_.emplace_back();
            scratch_[scratchUsed_].position = position_;
            run.save(scratch_[scratchUsed_].snapshot);
            ++scratchUsed_;
        }
    }
    clockAtPosition_ = run.now();
}

HeadlessRun& Timeline::seekPosition(uint32_t position) {
    replayTo(std::min(position, messageCount()), true);
    return *run_;
}

HeadlessRun& Timeline::seek(int64_t t) {
    t = std::clamp<int64_t>(t, 0, until_);
    const uint32_t position = positionAt(t);
    replayTo(position, true);
    if (!(endedEarly_ && position == messageCount())) run_->clock().advanceTo(t);
    return *run_;
}

HeadlessRun& Timeline::stepMessage(int direction) {
    replayTo(direction < 0 ? (position_ > 0 ? position_ - 1 : 0) : std::min(position_ + 1, messageCount()), false);
    return *run_;
}

HeadlessRun& Timeline::stepLine(int direction) {
    // Position p shows message p-1 done.
    const auto& lines = record_.deliveryLines;
    if (direction >= 0) {
        for (size_t message = position_; message < lines.size(); ++message) {
            if (lines[message] > 0) return seekPosition(static_cast<uint32_t>(message + 1));
        }
        return seekPosition(position_);
    }
    for (size_t message = position_ >= 2 ? position_ - 1 : 0; message-- > 0;) {
        if (lines[message] > 0) return seekPosition(static_cast<uint32_t>(message + 1));
    }
    return seekPosition(0);
}

const std::vector<SignalChange>& Timeline::changesOf(Signal signal) const {
    switch (signal.kind) {
        case SignalKind::Line: return record_.lines;
        case SignalKind::Running: return record_.running;
        case SignalKind::Pin: break;
    }
    return record_.pins[static_cast<size_t>(signal.pin.number())];
}

namespace {

// The first change not yet in the state at position.
std::vector<SignalChange>::const_iterator firstAfter(const std::vector<SignalChange>& changes, uint32_t position) {
    return std::upper_bound(changes.begin(), changes.end(), position,
                            [](uint32_t p, const SignalChange& change) { return p < change.position; });
}

}  // namespace

std::vector<SignalChange> Timeline::changes(Signal signal, int64_t t0, int64_t t1) const {
    std::vector<SignalChange> found;
    if (t1 < t0) return found;
    const auto& all = changesOf(signal);
    // Those made by the messages of [t0, t1]; start-up's belong to the moment 0.
    auto from = t0 <= 0 ? all.begin() : firstAfter(all, positionAt(t0 - 1));
    const auto to = firstAfter(all, positionAt(t1));
    if (from < to) found.assign(from, to);
    return found;
}

const SignalChange* Timeline::lastChange(Signal signal, int64_t t) const {
    const auto& all = changesOf(signal);
    const auto next = firstAfter(all, positionAt(t));
    return next == all.begin() ? nullptr : &*(next - 1);
}

const SignalChange* Timeline::nextChange(Signal signal, int64_t t) const {
    const auto& all = changesOf(signal);
    const auto next = firstAfter(all, positionAt(t));
    return next == all.end() ? nullptr : &*next;
}

uint32_t Timeline::causeOf(PinName pin, const SignalChange* change) const {
    const size_t number = static_cast<size_t>(pin.number());
    return record_.pinCauses[number][static_cast<size_t>(change - record_.pins[number].data())];
}

int32_t Timeline::valueAt(Signal signal, int64_t t) const {
    const SignalChange* last = lastChange(signal, t);
    return last == nullptr ? 0 : last->value;
}

size_t Timeline::memoryBytes() const {
    size_t bytes = checkpoints_.bytes() + scratch_.capacity() * sizeof(Scratch);
    for (const Scratch& scratch : scratch_) bytes += scratch.snapshot.canvas.cells.capacity() * sizeof(uint32_t);
    for (const auto& pin : record_.pins) bytes += pin.capacity() * sizeof(SignalChange);
    for (const auto& causes : record_.pinCauses) bytes += causes.capacity() * sizeof(uint32_t);
    bytes += (record_.lines.capacity() + record_.running.capacity()) * sizeof(SignalChange) +
             record_.outputCauses.capacity() * sizeof(OutputCause) + record_.sources.capacity() * sizeof(BitSource) +
             record_.writes.capacity() * sizeof(RegisterWrite) + record_.inputCauses.capacity() * sizeof(InputCause) +
             record_.errorStops.capacity() * sizeof(ErrorMark) + record_.deliveryDue.capacity() * sizeof(int64_t) +
             record_.deliveryLines.capacity();
    return bytes;
}

}  // namespace kt57
