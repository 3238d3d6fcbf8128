// Worst-case tick on the headless shell with the console's TextCanvas: every tick runs a burst of
// 201 control instructions into the loop error, each redrawing the status row and the listing's
// 256 markers; the C key before each tick resumes the loop.
#include <benchmark/benchmark.h>

#include "bench/bench_programs.h"
#include "bench/tick_samples.h"
#include "platform/headless/headless_run.h"
#include "tests/support/scratch_files.h"

namespace kt57::bench {
namespace {

void BM_WorstCaseTickHeadless(benchmark::State& state) {
    const support::ScratchDirectory scratch("kt57-bench");
    writeProgram(scratch.path(), worstCaseTickProgram());
    HeadlessRun run({.directory = scratch.path()});
    if (run.start() != 1 || run.sequencer().program.lineCount != 256 || run.sequencer().console.detailView != 1) {
        state.SkipWithError("the worst-case program did not start with the listing shown");
        return;
    }
    Application& app = run.application();
    const Sequencer& s = run.sequencer();
    measureWorstCaseTicks(
        state, s, [&] { handleEvent(app, ShellEvent::typed('C')); },
        [&] { handleEvent(app, ShellEvent::tick()); });
}
// Five runs of 1000 ticks: on a shared machine the quietest run shows the tick's own cost.
BENCHMARK(BM_WorstCaseTickHeadless)->UseManualTime()->Iterations(1000)->Repetitions(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kt57::bench

BENCHMARK_MAIN();
