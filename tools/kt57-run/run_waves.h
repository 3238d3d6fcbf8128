// kt57-run --vcd: the rehearsal as a waveform in virtual milliseconds. The board's pins come from
// its session's events; the line being executed and whether the program runs are sampled after
// each delivered message (they cannot change in between), so the file grows with the changes,
// not with the time run; each error stop is a one-millisecond pulse on its kind's wire.
#pragma once
#include <cstdint>
#include <string>

#include "board/board_event.h"
#include "engine/run_observer.h"
#include "platform/headless/headless_run.h"
#include "tools/common/board_waves.h"
#include "tools/common/vcd_writer.h"

namespace kt57 {

class RunWaves : public BoardEventSink, public RunObserver {
public:
    static constexpr int lineBits = 9;  // up to 511: every line number and the end of the program

    // Forwards every observer call to inner, and every board event to the sink already installed.
    RunWaves(HeadlessRun& run, RunObserver& inner);
    ~RunWaves() override;
    RunWaves(const RunWaves&) = delete;
    RunWaves& operator=(const RunWaves&) = delete;

    // Creates the file and joins the board session's events; false with error() set.
    bool open(const std::string& path);
    // The line and the running state now.
    void sample();
    // The last timestamp just after the clock's time; false with error() set when the file is incomplete.
    bool close();
    const std::string& error() const { return vcd_.error(); }

    void boardEvent(const BoardEvent& event) override;

    void linkOpened(int result) override { inner_.linkOpened(result); }
    void errorStopped(ErrorStop stop, int32_t line) override;
    void modeFileWritten(const char* bytes, size_t size) override { inner_.modeFileWritten(bytes, size); }
    void lineExecuted(LineOutcome outcome) override { inner_.lineExecuted(outcome); }
    void replyPolled(int received) override { inner_.replyPolled(received); }
    void replyApplied(const MachineState& before, const MachineState& after, const unsigned char* frame) override {
        inner_.replyApplied(before, after, frame);
    }

private:
    HeadlessRun& run_;
    RunObserver& inner_;
    BoardEventSink* next_ = nullptr;
    bool joined_ = false;
    VcdWriter vcd_;
    BoardWaves pins_;
    int firstLineBit_;
    int running_;
    int errorPulses_[3];  // data, loop, device
};

}  // namespace kt57
