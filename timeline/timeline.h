// A rehearsal as a timeline: built once from its inputs, it answers for any moment at once, forwards
// and back. It keeps checkpoints of the whole state and, like a reverse debugger, restores the
// nearest one before the moment asked for and runs forward from it; a rehearsal is deterministic, so
// this gives exactly what the straight run gave.
//
// Moments. The rehearsal delivers messages (ticks, keys, clicks, board and screen events) one by
// one. "Position p" is the state once p of them have been delivered (0: right after start-up).
// "The moment t" is what `kt57-run --until t` ends with: every message due at or before t
// delivered, unless the rehearsal ended before (the window gone, or nothing more could happen),
// and then the clock at t, or where it ended. Moments past the end time are the end.
//
// Checkpoints are spaced by cost (messages delivered and texts drawn, the work that replaying them
// repeats), not by time, so that a busy stretch gets as many as a quiet one needs; when there are
// too many, every other one goes and the spacing doubles, so that memory stays bounded however long
// the rehearsal. A replay also lays scratch checkpoints closer together on its way, so that the steps
// back from where it went are short.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_run.h"
#include "platform/headless/headless_snapshot.h"
#include "timeline/checkpoint_store.h"
#include "board/pin_name.h"
#include "timeline/rehearsal_inputs.h"
#include "timeline/scratch_folder.h"
#include "timeline/timeline_record.h"

namespace kt57 {

struct TimelineLimits {
    uint64_t checkpointCost = 260000;  // between checkpoints at first; a message costs 50, four texts drawn 1
    size_t maxCheckpoints = 32768;
    size_t scratchPerCheckpoint = 16;  // scratch checkpoints a replay lays across one checkpoint's span
};

enum class SignalKind : uint8_t { Pin, Line, Running };

struct Signal {
    SignalKind kind = SignalKind::Pin;
    PinName pin;
};

class Timeline {
public:
    explicit Timeline(TimelineLimits limits = {});
    ~Timeline();
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    // Runs the rehearsal once, keeping checkpoints. Its files go to a scratch folder of its own, so
    // the rehearsal never writes into the user's. False with error set when that folder fails.
    bool build(const RehearsalInputs& inputs, std::string& error);

    int64_t until() const { return until_; }
    // Where the rehearsal ended: the window gone or nothing more could happen (then endTime() is
    // when), or until() reached.
    bool endedEarly() const { return endedEarly_; }
    int64_t endTime() const { return endTime_; }
    uint32_t messageCount() const { return static_cast<uint32_t>(record_.deliveryDue.size()); }
    // When message i (from 0) fell due; the messages of the moment t are those due at or before t.
    int64_t messageDue(uint32_t index) const { return record_.deliveryDue[index]; }
    // Program lines executed by message i: control instructions and commands sent (at most 255).
    int linesExecuted(uint32_t index) const { return record_.deliveryLines[index]; }
    uint32_t positionAt(int64_t t) const;

    // Puts the run at the moment t or at position p and returns it, to be read and not driven.
    HeadlessRun& seek(int64_t t);
    HeadlessRun& seekPosition(uint32_t position);
    // The position of the last seek.
    uint32_t position() const { return position_; }
    // One message forwards or back from the last seek; at either end it stays.
    HeadlessRun& stepMessage(int direction);
    // To the next (or previous) message that executed a program line. A tick runs control lines in a
    // burst up to the next command, so one step can cover several lines.
    HeadlessRun& stepLine(int direction);

    // The changes of a signal in [t0, t1], in time order; the cost follows the number returned.
    std::vector<SignalChange> changes(Signal signal, int64_t t0, int64_t t1) const;
    // The signal's value at t, and its last change at or before t (nullptr when it never changed).
    int32_t valueAt(Signal signal, int64_t t) const;
    const SignalChange* lastChange(Signal signal, int64_t t) const;
    const SignalChange* nextChange(Signal signal, int64_t t) const;
    // For a change of a pin that lastChange or nextChange gave: its OutputCause or InputCause.
    uint32_t causeOf(PinName pin, const SignalChange* change) const;

    const TimelineRecord& record() const { return record_; }
    const ProgramStore& program() const { return run_->sequencer().program; }
    size_t checkpointCount() const { return checkpoints_.size(); }
    // Messages re-delivered by seeks and steps so far: what answering has cost.
    uint64_t messagesReplayed() const { return replayed_; }
    uint64_t checkpointCost() const { return spacing_; }
    // Bytes held by the checkpoints and the record, roughly: what a rehearsed hour costs.
    size_t memoryBytes() const;

private:
    struct Scratch {
        uint32_t position = 0;
        HeadlessSnapshot snapshot;
    };
    const std::vector<SignalChange>& changesOf(Signal signal) const;
    uint64_t costOfStep();
    uint64_t scratchStride() const;
    void replayTo(uint32_t position, bool leaveScratchBehind);

    TimelineLimits limits_;
    std::unique_ptr<ScratchFolder> folder_;  // the rehearsal's files; goes after the run
    std::unique_ptr<HeadlessRun> run_;
    TimelineRecord record_;
    CheckpointStore checkpoints_;
    uint64_t spacing_ = 0;
    long drawsBefore_ = 0;
    // Scratch checkpoints within the span of one checkpoint, in position order.
    std::vector<Scratch> scratch_;
    size_t scratchUsed_ = 0;
    size_t scratchSpan_ = SIZE_MAX;  // the checkpoint whose span they lie in
    HeadlessSnapshot loaded_;
    int64_t until_ = 0;
    int64_t endTime_ = 0;
    bool endedEarly_ = false;
    uint64_t replayed_ = 0;
    uint32_t position_ = 0;       // what the run shows
    int64_t clockAtPosition_ = 0; // the clock before a seek moved it on to its t
};

}  // namespace kt57
