// Heap allocations in 10,000 ticks of steady running on the headless shell: device commands and
// their replies, bursts with loop-counter redraws, short and real sleeps, the periodic status
// refresh, repaints and the S and G keys. The core promises none.
#include <benchmark/benchmark.h>

#include "bench/allocation_counter.h"
#include "bench/bench_programs.h"
#include "tests/support/scratch_files.h"
#include "platform/headless/headless_run.h"

namespace kt57::bench {
namespace {

constexpr int warmUpTicks = 200;
constexpr int countedTicks = 10000;
constexpr int64_t scriptMilliseconds = 400000;  // well past 10,200 ticks, sleeps included

// Proof that the counted ticks ran the program: every SLP lets the board go, so each pass reopens it.
class RunWitness : public RunObserver {
public:
    void linkOpened(int result) override { opens += result > 0 ? 1 : 0; }
    void errorStopped(ErrorStop, int32_t) override { errorStops += 1; }
    int opens = 0;
    int errorStops = 0;
};

void postOperatorScript(HeadlessRun& run) {
    for (int64_t at = 1000; at < scriptMilliseconds; at += 1000) run.post(HeadlessEvent::of(at, HeadlessEventKind::Paint));
    for (int64_t at = 5000; at < scriptMilliseconds; at += 5000) {
        run.post(HeadlessEvent::key(at + 10, 'S'));   // stop: the stopped texts and a release
        run.post(HeadlessEvent::key(at + 400, 'G'));  // start again from line 1
    }
}

// Delivers messages until ticks more timer ticks have run; false when the run cannot go on.
bool runTicks(HeadlessRun& run, int ticks) {
    const int until = run.ticksDelivered() + ticks;
    while (run.ticksDelivered() < until) {
        if (!run.step(scriptMilliseconds)) return false;
    }
    return true;
}

void BM_AllocationsInTicks(benchmark::State& state) {
    const support::ScratchDirectory scratch("kt57-bench");
    const std::string& directory = scratch.path();
    writeProgram(directory, steadyRunningProgram());
    HeadlessRun run({.directory = directory});
    RunWitness witness;
    run.setObserver(&witness);
    if (run.start() != 1 || run.sequencer().program.lineCount < 1) {
        state.SkipWithError("the steady program did not start");
        return;
    }
    postOperatorScript(run);  // queued before counting: the script's own storage is not the core's
    if (!runTicks(run, warmUpTicks)) {
        state.SkipWithError("the run ended during the warm-up");
        return;
    }
    const int opensBefore = witness.opens;
    int64_t allocations = 0;
    bool ranThrough = true;
    for (auto _ : state) {
        startCountingAllocations();
        ranThrough = runTicks(run, countedTicks);
        allocations = stopCountingAllocations();
    }
    if (!ranThrough) {
        state.SkipWithError("the run ended before 10,000 ticks");
        return;
    }
    if (witness.opens - opensBefore < 100 || witness.errorStops != 0) {
        state.SkipWithError("the program did not run steadily: too few passes, or an error stop");
        return;
    }
    state.counters["allocations"] = benchmark::Counter(static_cast<double>(allocations));
    state.counters["ticks"] = benchmark::Counter(countedTicks);
    state.counters["board_opens"] = benchmark::Counter(witness.opens - opensBefore);
    state.counters["virtual_s"] = benchmark::Counter(static_cast<double>(run.now()) / 1000.0);
}
BENCHMARK(BM_AllocationsInTicks)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kt57::bench

BENCHMARK_MAIN();
