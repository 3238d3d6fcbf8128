// The invariants of the machine state and run control, and the per-message limits, checked by
// the fuzz targets and the fault soak that drive whole runs.
#pragma once
#include <cstdint>
#include <cstring>
#include <functional>

#include "fuzz/fuzz_check.h"
#include "platform/headless/headless_run.h"
#include "tests/support/run_to.h"

namespace kt57::fuzz {

// What one delivered message did, gathered by the checking services below.
struct TickCounts {
    int instructions = 0;          // control instructions executed, as the observer hears of them
    int writes = 0;                // command frames written
    bool closedWhileAwaiting = false;  // the board let go while a reply was still on its way
    int failedDraws = 0;           // draws made with no drawing context open
};

inline bool is24Bit(int32_t value) { return value >= 0 && value <= 0xFFFFFF; }

inline void checkSequencer(const Sequencer& s) {
    const RunControl& run = s.run;
    const MachineState& machine = s.machine;
    const int32_t end = s.program.lineCount;
    KT57_FUZZ_CHECK(end >= 0 && end <= maxProgramLines);
    KT57_FUZZ_CHECK(run.nextLine >= 0 && run.nextLine <= end);
    KT57_FUZZ_CHECK(run.currentLine >= 0 && run.currentLine <= end);
    KT57_FUZZ_CHECK(run.continueLine >= 0 && run.continueLine <= end);
    KT57_FUZZ_CHECK(run.breakLine >= 0 && run.breakLine <= end);
    KT57_FUZZ_CHECK(run.replyWait >= 0 && run.replyWait <= 101);
    KT57_FUZZ_CHECK(run.burstCount >= 0 && run.burstCount <= 200);
    KT57_FUZZ_CHECK(run.refreshTick >= 0 && run.refreshTick <= 19);
    KT57_FUZZ_CHECK(run.releaseCount >= 0 && run.releaseCount <= 10);
    KT57_FUZZ_CHECK(run.connectFailures >= 0 && run.connectFailures <= 100);
    KT57_FUZZ_CHECK(run.sleepTicks >= 0);
    KT57_FUZZ_CHECK(run.stepPhase == StepPhase::None || run.stepPhase == StepPhase::WaitingForEnter ||
                    run.stepPhase == StepPhase::Granted);
    KT57_FUZZ_CHECK(run.runMode == RunMode::Automatic || run.runMode == RunMode::Manual ||
                    run.runMode == RunMode::Posted || run.runMode == RunMode::Step);
    KT57_FUZZ_CHECK(run.resumeMode == RunMode::Automatic || run.resumeMode == RunMode::Posted);
    KT57_FUZZ_CHECK(run.savedMode == RunMode::Automatic || run.savedMode == RunMode::Manual || run.savedMode == RunMode::Step);
    KT57_FUZZ_CHECK(machine.loopCounter >= 0 && machine.loopCounter <= 999);
    KT57_FUZZ_CHECK(is24Bit(machine.inputRegister) && is24Bit(machine.outputRegister));
    KT57_FUZZ_CHECK(is24Bit(machine.polarityMask) && is24Bit(machine.flagRegister));
    KT57_FUZZ_CHECK(machine.conditionFlag == 0 || machine.conditionFlag == 1);
    KT57_FUZZ_CHECK(s.link.linkState == LinkState::NoBoard || s.link.linkState == LinkState::Closed ||
                    s.link.linkState == LinkState::Open);
    KT57_FUZZ_CHECK(std::memchr(s.link.serialNumber, '\0', sizeof s.link.serialNumber) != nullptr);
}

// After each message the run delivered; tick tells whether it was a timer tick.
inline void checkStep(HeadlessRun& run, const TickCounts& counts, bool tick) {
    checkSequencer(run.sequencer());
    KT57_FUZZ_CHECK(counts.failedDraws == 0);
    if (!tick) {
        KT57_FUZZ_CHECK(counts.instructions == 0 && counts.writes == 0);
        return;
    }
    KT57_FUZZ_CHECK(counts.instructions <= 201);
    KT57_FUZZ_CHECK(counts.writes <= 1);
    KT57_FUZZ_CHECK(!counts.closedWhileAwaiting);
    // The timer runs only after a start-up that found the board.
    KT57_FUZZ_CHECK(run.sequencer().link.linkState == LinkState::Closed || run.sequencer().link.linkState == LinkState::Open);
}

// Delivers everything due up to limit, checking each message; afterCheck (if any) after each check.
inline void runCheckedTo(HeadlessRun& run, TickCounts& counts, int64_t limit,
                         const std::function<void()>& afterCheck = {}) {
    counts = {};
    support::runTo(run, limit, [&](bool ticked) {
        checkStep(run, counts, ticked);
        counts = {};
        if (afterCheck) afterCheck();
    });
}

// The board as the run sees it, counting writes and watching when it is let go.
class CheckingDriver : public FtDriver {
public:
    CheckingDriver(HeadlessRun& run, TickCounts& counts) : run_(run), board_(run.board()), counts_(counts) {}

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override { return board_.FT_ListDevices(arg1, arg2, flags); }
    FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override { return board_.FT_OpenEx(arg, flags, handle); }
    FT_STATUS FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled, unsigned char errorChar,
                          unsigned char errorCharEnabled) override {
        return board_.FT_SetChars(handle, eventChar, eventCharEnabled, errorChar, errorCharEnabled);
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) override {
        return board_.FT_SetTimeouts(handle, readTimeout, writeTimeout);
    }
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) override {
        lastStatus = board_.FT_GetStatus(handle, rxBytes, txBytes, eventStatus);
        lastQueued = lastStatus == FT_OK && rxBytes != nullptr ? *rxBytes : 0;
        return lastStatus;
    }
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) override {
        KT57_FUZZ_CHECK(bytesToRead == 9);
        const FT_STATUS status = board_.FT_Read(handle, buffer, bytesToRead, bytesReturned);
        if (status == FT_OK && *bytesReturned >= 9) replyTaken_ = true;
        return status;
    }
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) override {
        KT57_FUZZ_CHECK(bytesToWrite == 9 && static_cast<const unsigned char*>(buffer)[8] == '\r');
        ++counts_.writes;
        replyTaken_ = false;
        return board_.FT_Write(handle, buffer, bytesToWrite, bytesWritten);
    }
    FT_STATUS FT_Close(FT_HANDLE handle) override {
        // Only the data error lets the board go with a reply awaited, when the wait is over; in
        // step mode the board goes right after the reply was read, before the wait is cleared.
        const int32_t wait = run_.sequencer().run.replyWait;
        if (wait >= 1 && wait <= 100 && !replyTaken_) counts_.closedWhileAwaiting = true;
        return board_.FT_Close(handle);
    }

    FT_STATUS lastStatus = FT_OK;  // what the last status call answered
    uint32_t lastQueued = 0;

private:
    HeadlessRun& run_;
    FtDriver& board_;
    TickCounts& counts_;
    bool replyTaken_ = false;  // a whole reply was read since the last command frame
};

// The screen, noting any draw made while no drawing context is open: that text would be lost.
class CheckingSurface : public TextSurface {
public:
    CheckingSurface(TextSurface& inner, TickCounts& counts) : inner_(inner), counts_(counts) {}
    void openContext(int colourIndex) override { inner_.openContext(colourIndex); }
    void closeContext() override { inner_.closeContext(); }
    bool drawText(int x, int y, const char* bytes, int length) override {
        KT57_FUZZ_CHECK(length >= 0 && length <= 64);
        const bool drawn = inner_.drawText(x, y, bytes, length);
        if (!drawn) ++counts_.failedDraws;
        return drawn;
    }
    void resizeWindow(int width, int height) override { inner_.resizeWindow(width, height); }

private:
    TextSurface& inner_;
    TickCounts& counts_;
};

// Each error stop leaves the program stopped, as its table says, and names a line of the program;
// the instructions are counted.
class CheckingObserver : public RunObserver {
public:
    CheckingObserver(HeadlessRun& run, TickCounts& counts) : run_(run), counts_(counts) {}
    void lineExecuted(LineOutcome outcome) override {
        if (outcome == LineOutcome::Executed || outcome == LineOutcome::SleepStarted) ++counts_.instructions;
    }
    void errorStopped(ErrorStop stop, int32_t line) override {
        const Sequencer& s = run_.sequencer();
        KT57_FUZZ_CHECK(s.run.nextLine == s.program.lineCount);
        KT57_FUZZ_CHECK(line >= 0 && line < s.program.lineCount);  // a line a person can be sent to
        switch (stop) {
            case ErrorStop::Data:
                KT57_FUZZ_CHECK(s.run.replyWait == 0 && s.link.linkState != LinkState::Open);
                break;
            case ErrorStop::Loop:
                KT57_FUZZ_CHECK(s.run.burstCount == 0);
                break;
            case ErrorStop::Device:
                KT57_FUZZ_CHECK(s.run.continueLine == s.program.lineCount && s.run.connectFailures == 0);
                break;
        }
        ++stops[static_cast<int>(stop)];
    }
    long stops[3] = {};

private:
    HeadlessRun& run_;
    TickCounts& counts_;
};

}  // namespace kt57::fuzz
