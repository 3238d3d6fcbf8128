// The timeline against the straight run: whatever order its moments are asked in, and whatever its
// checkpoint spacing, every moment must be exactly the state a straight rehearsal has there. Used
// by the timeline fuzzer and replayed by the tests with hand-made rehearsals.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/headless/headless_run.h"
#include "platform/headless/headless_snapshot.h"
#include "sequencer/run_control.h"
#include "timeline/rehearsal_inputs.h"
#include "timeline/timeline.h"

namespace kt57::fuzz {

inline bool rehearsalOver(const HeadlessRun& run) { return run.finished() || run.idle(); }

// A fresh run of inputs in folder, started.
inline void startStraight(HeadlessRun& run, const RehearsalInputs& inputs) {
    for (const HeadlessEvent& event : inputs.events) run.post(event);
    run.start();
}

// The straight rehearsal at each moment of times, as `kt57-run --until t` leaves it, in one pass.
inline std::map<int64_t, HeadlessSnapshot> straightAtTimes(const RehearsalInputs& inputs, const std::string& folder,
                                                          std::vector<int64_t> times) {
    std::string error;
    KT57_FUZZ_CHECK(writeRehearsalFolder(inputs, folder, error));
    HeadlessRun run({folder, inputs.boardSerial});
    startStraight(run, inputs);
    std::sort(times.begin(), times.end());
    std::map<int64_t, HeadlessSnapshot> found;
    bool ended = rehearsalOver(run);
    for (const int64_t t : times) {
        while (!ended && run.step(t)) ended = rehearsalOver(run);
        if (!ended) run.clock().advanceTo(t);
        run.save(found[t]);
    }
    return found;
}

// The straight rehearsal after each count of messages in positions.
inline std::map<uint32_t, HeadlessSnapshot> straightAtPositions(const RehearsalInputs& inputs, const std::string& folder,
                                                               std::vector<uint32_t> positions) {
    std::string error;
    KT57_FUZZ_CHECK(writeRehearsalFolder(inputs, folder, error));
    HeadlessRun run({folder, inputs.boardSerial});
    startStraight(run, inputs);
    std::sort(positions.begin(), positions.end());
    std::map<uint32_t, HeadlessSnapshot> found;
    uint32_t at = 0;
    for (const uint32_t position : positions) {
        while (at < position && run.step(inputs.until)) ++at;
        KT57_FUZZ_CHECK(at == position);
        run.save(found[position]);
    }
    return found;
}

inline void checkSignalsAt(const Timeline& timeline, int64_t t, const HeadlessSnapshot& straight,
                           const Sequencer& seen) {
    for (int bit = 0; bit < pinCount; ++bit) {
        const int out = timeline.valueAt(Signal{SignalKind::Pin, PinName{PinSide::Output, bit}}, t);
        const int in = timeline.valueAt(Signal{SignalKind::Pin, PinName{PinSide::Input, bit}}, t);
        KT57_FUZZ_CHECK(out == static_cast<int>((straight.board.model.outputs >> bit) & 1u));
        KT57_FUZZ_CHECK(in == static_cast<int>((straight.board.model.inputs >> bit) & 1u));
    }
    KT57_FUZZ_CHECK(timeline.valueAt(Signal{SignalKind::Line, {}}, t) == executingLineNumber(seen.run, seen.program.lineCount));
    KT57_FUZZ_CHECK(timeline.valueAt(Signal{SignalKind::Running, {}}, t) == (stopped(seen.run, seen.program.lineCount) ? 0 : 1));
    // The changes up to t end at the value at t.
    for (int number = 0; number < 2 * pinCount; number += 7) {
        const Signal signal{SignalKind::Pin, PinName{number < pinCount ? PinSide::Output : PinSide::Input, number % pinCount}};
        const std::vector<SignalChange> changes = timeline.changes(signal, 0, t);
        KT57_FUZZ_CHECK((changes.empty() ? 0 : changes.back().value) == timeline.valueAt(signal, t));
        for (size_t i = 1; i < changes.size(); ++i) KT57_FUZZ_CHECK(changes[i].value != changes[i - 1].value);
    }
}

// times and positions in the order the timeline is to be asked; positions are clamped to the
// rehearsal's messages.
inline void checkTimeline(const RehearsalInputs& inputs, const std::string& folder, TimelineLimits limits,
                          const std::vector<int64_t>& times, std::vector<uint32_t> positions) {
    Timeline timeline(limits);
    std::string error;
    KT57_FUZZ_CHECK(timeline.build(inputs, error));
    KT57_FUZZ_CHECK(timeline.checkpointCount() <= std::max<size_t>(limits.maxCheckpoints, 2));
    const uint32_t count = timeline.messageCount();
    if (std::getenv("KT57_FUZZ_VERBOSE") != nullptr) {
        std::fprintf(stderr, "until %lld: %u messages, %zu checkpoints of cost %llu, ended %d at %lld\n",
                     static_cast<long long>(inputs.until), count, timeline.checkpointCount(),
                     static_cast<unsigned long long>(timeline.checkpointCost()), timeline.endedEarly(),
                     static_cast<long long>(timeline.endTime()));
    }

    std::vector<int64_t> clamped;
    for (const int64_t t : times) clamped.push_back(std::clamp<int64_t>(t, 0, inputs.until));
    const std::map<int64_t, HeadlessSnapshot> atTimes = straightAtTimes(inputs, folder, clamped);
    std::vector<uint32_t> wanted;
    for (uint32_t& position : positions) {
        position = std::min(position, count);
        wanted.push_back(position);
        wanted.push_back(position > 0 ? position - 1 : 0);
        wanted.push_back(std::min(position + 1, count));
    }
    const std::map<uint32_t, HeadlessSnapshot> atPositions = straightAtPositions(inputs, folder, wanted);

    HeadlessSnapshot seen;
    for (const int64_t t : clamped) {
        HeadlessRun& run = timeline.seek(t);
        run.save(seen);
        KT57_FUZZ_CHECK(seen == atTimes.at(t));
        checkSignalsAt(timeline, t, atTimes.at(t), run.sequencer());
    }
    for (const uint32_t position : positions) {
        timeline.seekPosition(position).save(seen);
        KT57_FUZZ_CHECK(seen == atPositions.at(position));
        timeline.stepMessage(-1).save(seen);
        KT57_FUZZ_CHECK(seen == atPositions.at(position > 0 ? position - 1 : 0));
        timeline.stepMessage(+1).save(seen);
        KT57_FUZZ_CHECK(seen == atPositions.at(position > 0 ? position : std::min(1u, count)));
        // A line step lands just after the next message that ran a line, passing only ones that ran none.
        const uint32_t from = timeline.position();
        const uint32_t to = (timeline.stepLine(+1), timeline.position());
        for (uint32_t message = from; message + 1 < to; ++message) KT57_FUZZ_CHECK(timeline.linesExecuted(message) == 0);
        KT57_FUZZ_CHECK(to == from || timeline.linesExecuted(to - 1) > 0);
        // And back: to just after the one before, or to the start.
        if (to > 0 && timeline.linesExecuted(to - 1) > 0) {
            const uint32_t back = (timeline.stepLine(-1), timeline.position());
            KT57_FUZZ_CHECK(back < to);
            KT57_FUZZ_CHECK(back == 0 || timeline.linesExecuted(back - 1) > 0);
            for (uint32_t message = back; message + 1 < to; ++message) KT57_FUZZ_CHECK(timeline.linesExecuted(message) == 0);
        }
    }
}

}  // namespace kt57::fuzz
