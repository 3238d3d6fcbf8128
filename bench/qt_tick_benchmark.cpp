// Worst-case tick in the real Qt shell on the offscreen platform: the headless benchmark's
// program and key, delivered to kt57d's own window classes, with the image drawing and the
// widget's repaint of the changed area included in the time.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#include "bench/bench_programs.h"
#include "bench/tick_samples.h"
#include "board/virtual_board.h"
#include "platform/headless/virtual_clock.h"
#include "platform/qt/desktop_shell.h"
#include "tests/support/scratch_files.h"

namespace kt57::bench {
namespace {

void BM_WorstCaseTickQt(benchmark::State& state) {
    const support::ScratchDirectory scratch("kt57-bench");
    const std::string& directory = scratch.path();
    writeProgram(directory, worstCaseTickProgram());
    VirtualClock clock;  // start-up's waits pass at once; the ticks themselves are the subject
    VirtualBoard board(clock);
    DesktopShell shell(board, clock, directory.c_str());
    if (shell.startUp() != 1 || shell.application().sequencer.program.lineCount != 256) {
        state.SkipWithError("the worst-case program did not start in the Qt shell");
        return;
    }
    // The benchmark delivers every tick itself: the shell's own timer must not add any.
    shell.application().sequencer.timer = &noWindowTimer();
    shell.timer().killTimer();
    QCoreApplication::processEvents();

    DesktopWindow& window = shell.window();
    const Sequencer& s = shell.application().sequencer;
    measureWorstCaseTicks(
        state, s,
        [&] {
            window.deliver(ShellEvent::typed('C'));
            QCoreApplication::processEvents();
        },
        [&] {
            window.deliver(ShellEvent::tick());
            QCoreApplication::processEvents();  // the widget repaints what the tick drew
        });
}
// As the headless benchmark: the quietest of five runs shows the tick's own cost.
BENCHMARK(BM_WorstCaseTickQt)->UseManualTime()->Iterations(300)->Repetitions(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kt57::bench

int main(int argc, char** argv) {
    // The real shell, without a display: Qt's offscreen platform still runs the widget's painting.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
