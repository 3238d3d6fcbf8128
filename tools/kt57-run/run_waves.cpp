#include "tools/kt57-run/run_waves.h"

#include "sequencer/run_control.h"

namespace kt57 {

namespace {

bool isRunning(const Sequencer& sequencer) { return !stopped(sequencer.run, sequencer.program.lineCount); }

// The line as the screen and kt57-check number it, from 1; 0 while no line runs.
uint32_t lineNumber(const Sequencer& sequencer) {
    const int32_t line = executingLineNumber(sequencer.run, sequencer.program.lineCount);
    constexpr int32_t largest = (1 << RunWaves::lineBits) - 1;
    return static_cast<uint32_t>(line < 0 ? 0 : line > largest ? largest : line);
}

}  // namespace

RunWaves::RunWaves(HeadlessRun& run, RunObserver& inner)
    : run_(run),
      inner_(inner),
      pins_(vcd_, run.board().model.outputs, run.board().model.inputs),
      firstLineBit_(vcd_.addBits("line", lineBits, lineNumber(run.sequencer()))),
      running_(vcd_.addWire("running", isRunning(run.sequencer()))),
      errorPulses_{vcd_.addWire("error_data"), vcd_.addWire("error_loop"), vcd_.addWire("error_device")} {}

RunWaves::~RunWaves() {
    if (joined_) run_.board().session.events = next_;
}

bool RunWaves::open(const std::string& path) {
    if (!vcd_.open(path, "1 ms", "kt57-run")) return false;
    BoardSession& session = run_.board().session;
    next_ = session.events;
    session.events = this;
    joined_ = true;
    return true;
}

void RunWaves::sample() {
    const int64_t now = run_.now();
    vcd_.setBits(now, firstLineBit_, lineBits, lineNumber(run_.sequencer()));
    vcd_.set(now, running_, isRunning(run_.sequencer()));
}

// The run's last millisecond is inclusive, so the file ends where the next one would begin.
bool RunWaves::close() { return vcd_.close(run_.now() + 1); }

void RunWaves::boardEvent(const BoardEvent& event) {
    pins_.record(event.timeMilliseconds, event);
    if (next_ != nullptr) next_->boardEvent(event);
}

void RunWaves::errorStopped(ErrorStop stop, int32_t line) {
    vcd_.pulse(run_.now(), errorPulses_[static_cast<int>(stop)]);
    inner_.errorStopped(stop, line);
}

}  // namespace kt57
