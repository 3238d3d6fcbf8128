// kt57-run --lines: the program lines the run executes, in the trace beside what reached the
// board, so that a reader sees why the run went where it went. Each executed line gives
// "line N TEXT: effects" (the branch a jump took, the registers it changed, a sleep begun, a
// command to send) and each reply "reply N TEXT: registers". The format is in docs/kt57-run.md.
//
// A pass is what runs from a line until control comes back to it or to an earlier line. A pass
// that repeats the one before it record for record, changing no register (a poll that finds
// nothing new, a command retried), is folded: its records are counted, not printed, and the count
// is printed as "folded N" where the repetition ends.
#pragma once
#include <string>
#include <vector>

#include "engine/run_observer.h"
#include "engine/sequencer.h"
#include "tools/kt57-run/run_trace.h"

namespace kt57 {

class LinesTrace : public RunObserver {
public:
    // Forwards every observer call to inner.
    LinesTrace(TraceWriter& trace, const Sequencer& sequencer, RunObserver& inner);
    LinesTrace(const LinesTrace&) = delete;
    LinesTrace& operator=(const LinesTrace&) = delete;

    // The run is over: prints the count still folded.
    void finish();

    void linkOpened(int result) override { inner_.linkOpened(result); }
    void errorStopped(ErrorStop stop, int32_t line) override { inner_.errorStopped(stop, line); }
    void modeFileWritten(const char* bytes, size_t size) override { inner_.modeFileWritten(bytes, size); }
    void lineExecuted(LineOutcome outcome) override;
    void replyPolled(int received) override { inner_.replyPolled(received); }
    void replyApplied(const MachineState& before, const MachineState& after, const unsigned char* frame) override;

private:
    // record is the trace line without its time; quiet when it changed no register.
    void trace(const std::string& record, bool quiet);
    void endPass();

    TraceWriter& trace_;
    const Sequencer& sequencer_;
    RunObserver& inner_;
    MachineState seen_;  // the registers as the last record left them
    int32_t lastLine_ = -1;
    std::vector<std::string> previousPass_;
    bool previousQuiet_ = false;
    std::vector<std::string> currentPass_;
    bool currentQuiet_ = true;
    bool matching_ = false;  // the current pass repeats the previous one so far
    size_t matched_ = 0;
    long folded_ = 0;
};

}  // namespace kt57
