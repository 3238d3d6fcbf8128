// Random rehearsals into a timeline, asked for random moments in random order, by time and by
// message, stepped both ways, with random checkpoint spacings: each moment must be the straight
// rehearsal's, whole.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/rehearsal_inputs.h"
#include "fuzz/timeline_checks.h"
#include "tests/support/scratch_files.h"

namespace {

std::string directory;

kt57::RehearsalInputs inputsFrom(kt57::fuzz::FuzzInput& input) {
    kt57::RehearsalInputs inputs;
    inputs.program = kt57::RehearsalFile::of(kt57::fuzz::program(input));
    const std::optional<std::string> mode = kt57::fuzz::modeText(input);
    if (mode) inputs.mode = kt57::RehearsalFile::of(*mode);
    int64_t at = 0;
    kt57::BoardFaults faults;
    for (int events = 0; events < 32 && input.remaining() > 0; ++events) {
        at += input.flag() ? input.range(0, 40) : input.range(0, 1500);
        kt57::fuzz::FaultSwitch fault;
        kt57::HeadlessEvent event = kt57::fuzz::event(input, at, faults, fault);
        if (fault.which != nullptr) {
            // The events file's own way to switch a failure.
            const bool* const switches[] = {&faults.openFails, &faults.writeFails, &faults.statusFails, &faults.readFails};
            event.kind = kt57::HeadlessEventKind::Board;
            event.board.kind = fault.on ? kt57::BoardControlKind::Fail : kt57::BoardControlKind::Heal;
            for (int call = 0; call < 4; ++call) {
                if (switches[call] == fault.which) event.board.call = static_cast<kt57::FailingCall>(call);
            }
        }
        event.sourceLine = events + 1;
        inputs.events.push_back(event);
    }
    inputs.until = at + input.range(0, 3000);
    return inputs;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static const kt57::support::ScratchDirectory scratch("kt57-timeline-fuzz");
    directory = scratch.path();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kt57::fuzz::FuzzInput input(data, size);
    kt57::TimelineLimits limits;
    limits.checkpointCost = input.range<uint64_t>(1, 300);
    limits.maxCheckpoints = input.range<size_t>(2, 12);
    limits.scratchPerCheckpoint = input.range<size_t>(1, 8);
    std::vector<int64_t> times;
    std::vector<uint32_t> positions;
    for (int i = 0; i < 6; ++i) times.push_back(input.range<int64_t>(0, 60000));
    for (int i = 0; i < 4; ++i) positions.push_back(input.range<uint32_t>(0, 5000));
    const kt57::RehearsalInputs inputs = inputsFrom(input);
    kt57::fuzz::checkTimeline(inputs, directory, limits, times, positions);
    return 0;
}
