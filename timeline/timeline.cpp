#include "timeline/timeline.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <system_error>

#include "timeline/timeline_recorder.h"

namespace kt57 {

namespace {

// A folder no other run uses: the rehearsal may write its mode file there at the end, again at
// every replay of the end.
bool makeScratchFolder(std::string& folder, std::string& error) {
    std::error_code code;
    const std::filesystem::path base = std::filesystem::temp_directory_path(code);
    if (code) {
        error = "no folder for temporary files: " + code.message();
        return false;
    }
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / ("kt57-timeline-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, code)) {
            folder = candidate.string();
            return true;
        }
    }
    error = "cannot make a scratch folder in " + base.string() + (code ? ": " + code.message() : "");
    return false;
}

bool ended(const HeadlessRun& run) { return run.finished() || run.idle(); }

}  // namespace

Timeline::Timeline(TimelineLimits limits) : limits_(limits) {}

Timeline::~Timeline() {
    run_.reset();
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

bool Timeline::build(const RehearsalInputs& inputs, std::string& error) {
    if (run_ != nullptr) {
        error = "a timeline is built once";
        return false;
    }
    if (!makeScratchFolder(folder_, error) || !writeRehearsalFolder(inputs, folder_, error)) return false;
    until_ = inputs.until;
    spacing_ = std::max<uint64_t>(limits_.checkpointCost, 1);
    run_ = std::make_unique<HeadlessRun>(HeadlessOptions{folder_, inputs.boardSerial});
    HeadlessRun& run = *run_;
    TimelineRecorder recorder(run, record_);
    run.setObserver(&recorder);
    run.board().session.events = &recorder;
    for (const HeadlessEvent& event : inputs.events) run.post(event);

    run.start();
    recorder.started();
    checkpoints_.emplace_back();
    run.save(checkpoints_.back().snapshot);
    uint64_t cost = 0;
    // kt57-run's rule: every message due by until, unless the rehearsal ends first.
    endedEarly_ = ended(run);
    while (!endedEarly_) {
        const int64_t due = run.nextDue();
        if (due < 0 || due > until_) break;
        recorder.beginDelivery(due);
        run.step(until_);
        recorder.endDelivery();
        cost += 1 + record_.deliveryLines.back();
        endedEarly_ = ended(run);
        if (cost >= spacing_) {
            cost = 0;
            checkpoints_.emplace_back();
            checkpoints_.back().position = messageCount();
            run.save(checkpoints_.back().snapshot);
            if (checkpoints_.size() > std::max<size_t>(limits_.maxCheckpoints, 2)) thinCheckpoints();
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

void Timeline::thinCheckpoints() {
    size_t kept = 0;
    for (size_t index = 0; index < checkpoints_.size(); index += 2) {
        if (kept != index) checkpoints_[kept] = std::move(checkpoints_[index]);
        ++kept;
    }
    checkpoints_.resize(kept);
    spacing_ *= 2;
}

uint32_t Timeline::positionAt(int64_t t) const {
    const auto& due = record_.deliveryDue;
    return static_cast<uint32_t>(std::upper_bound(due.begin(), due.end(), t) - due.begin());
}

void Timeline::replayTo(uint32_t position) {
    HeadlessRun& run = *run_;
    run.clock().restoreNow(clockAtPosition_);
    const auto after = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), position,
                                        [](uint32_t p, const Checkpoint& c) { return p < c.position; });
    const Checkpoint& nearest = *(after - 1);  // the first checkpoint is at position 0
    // Going on from where the run stands is never longer than from the checkpoint before it.
    if (position_ > position || position_ < nearest.position) {
        run.restore(nearest.snapshot);
        position_ = nearest.position;
    }
    while (position_ < position && run.step(until_)) ++position_;
    clockAtPosition_ = run.now();
}

HeadlessRun& Timeline::seekPosition(uint32_t position) {
    replayTo(std::min(position, messageCount()));
    return *run_;
}

HeadlessRun& Timeline::seek(int64_t t) {
    t = std::clamp<int64_t>(t, 0, until_);
    const uint32_t position = positionAt(t);
    replayTo(position);
    if (!(endedEarly_ && position == messageCount())) run_->clock().advanceTo(t);
    return *run_;
}

HeadlessRun& Timeline::stepMessage(int direction) {
    if (direction < 0) return seekPosition(position_ > 0 ? position_ - 1 : 0);
    return seekPosition(position_ + 1);
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

int32_t Timeline::valueAt(Signal signal, int64_t t) const {
    const SignalChange* last = lastChange(signal, t);
    return last == nullptr ? 0 : last->value;
}

size_t Timeline::memoryBytes() const {
    size_t bytes = checkpoints_.capacity() * sizeof(Checkpoint);
    for (const Checkpoint& checkpoint : checkpoints_) {
        const TextCanvas::Snapshot& canvas = checkpoint.snapshot.canvas;
        bytes += canvas.cells.capacity() * sizeof(uint32_t) +
                 (canvas.bandY.capacity() + canvas.bandExtent.capacity()) * sizeof(int) +
                 checkpoint.snapshot.window.title.capacity();
    }
    for (const auto& pin : record_.pins) bytes += pin.capacity() * sizeof(SignalChange);
    bytes += (record_.lines.capacity() + record_.running.capacity()) * sizeof(SignalChange) +
             record_.outputCauses.capacity() * sizeof(OutputCause) + record_.sources.capacity() * sizeof(BitSource) +
             record_.writes.capacity() * sizeof(RegisterWrite) + record_.inputCauses.capacity() * sizeof(InputCause) +
             record_.errorStops.capacity() * sizeof(ErrorMark) + record_.deliveryDue.capacity() * sizeof(int64_t) +
             record_.deliveryLines.capacity();
    return bytes;
}

}  // namespace kt57
