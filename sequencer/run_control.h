// Run modes, line indices and engine counters shared by the engine, the controls and the console.
#pragma once
#include <cstdint>

namespace kt57 {

// The letters are what the mode file stores.
enum class RunMode : char {
    Automatic = 'A',
    Manual = 'M',  // starts stopped
    Posted = 'P',  // set by another program's posted command
    Step = 'S',    // one line per Enter
};

enum class StepPhase : int32_t {
    None = 0,
    WaitingForEnter = 1,
    Granted = 2,  // Enter gave one step
};

struct RunControl {
    RunMode runMode = RunMode::Automatic;
    RunMode resumeMode = RunMode::Automatic;  // mode that leaving step mode returns to
    RunMode savedMode = RunMode::Automatic;   // mode written back to the mode file
    StepPhase stepPhase = StepPhase::None;
    int32_t nextLine = 0;   // lineCount = stopped
    int32_t currentLine = 0;
    int32_t continueLine = 0;  // lineCount = none
    int32_t breakLine = 0;     // lineCount = none (start-up sets it)
    int32_t replyWait = 0;     // 0 = no reply awaited, else polls + 1
    int32_t sleepTicks = 0;    // remaining 100 ms ticks
    int32_t refreshTick = 0;   // 0-19
    int32_t burstCount = 0;    // 0-200
    int32_t releaseCount = 0;  // 0-10
    int32_t connectFailures = 0;

    bool operator==(const RunControl&) const = default;
};

// Inside, lines are indices from 0; a person reads the number the screen and kt57-check show.
constexpr int32_t shownLineNumber(int32_t lineIndex) { return lineIndex + 1; }

// A run is stopped when nextLine stands at (or, after a bad click, beyond) the end.
inline bool stopped(const RunControl& run, int32_t lineCount) { return run.nextLine >= lineCount; }

// The line being executed as a person numbers it, from 1; 0 while stopped, so that a stopped
// program does not look as if it sat on the line it last ran.
inline int32_t executingLineNumber(const RunControl& run, int32_t lineCount) {
    return stopped(run, lineCount) ? 0 : shownLineNumber(run.currentLine);
}

}  // namespace kt57
