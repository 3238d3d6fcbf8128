// Worst-case tick on the headless shell with the console's TextCanvas: every tick runs a burst of
// 201 control instructions into the loop error, each redrawing the status row and the listing's
// 256 markers; the C key before each tick resumes the loop.
#include <benchmark/benchmark.h>

#include "bench/bench_programs.h"
#include "bench/tick_samples.h"
#include "platform/headless/headless_run.h"
#include "shell/window_messages.h"

namespace kt57::bench {
namespace {

void BM_WorstCaseTickHeadless(benchmark::State& state) {
    const std::string directory = scratchDirectory("worst-case-tick");
    writeProgram(directory, worstCaseTickProgram());
    HeadlessRun run({.directory = directory});
    if (run.start() != 1 || run.sequencer().program.lineCount != 256 || run.sequencer().console.detailView != 1) {
        state.SkipWithError("the worst-case program did not start with the listing shown");
        return;
    }
    Application& app = run.application();
    const Sequencer& s = run.sequencer();
    TickSamples samples(static_cast<size_t>(state.max_iterations));
    int loopErrors = 0;
    for (auto _ : state) {
        handleWindowMessage(app, messageChar, 'C', typedKeyLParam);  // not timed: a message of its own
        const int64_t before = threadCpuNanoseconds();
        handleWindowMessage(app, messageTimer, 1, 0);
        const int64_t spent = threadCpuNanoseconds() - before;
        state.SetIterationTime(static_cast<double>(spent) / 1e9);
        samples.add(spent);
        loopErrors += stopped(s.run, s.program.lineCount) ? 1 : 0;
    }
    if (loopErrors != state.iterations()) {
        state.SkipWithError("a tick did not end in the loop error: the burst was not the worst case");
        return;
    }
    samples.report(state);
}
// Five runs of 1000 ticks: on a shared machine the quietest run shows the tick's own cost.
BENCHMARK(BM_WorstCaseTickHeadless)->UseManualTime()->Iterations(1000)->Repetitions(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kt57::bench

BENCHMARK_MAIN();
