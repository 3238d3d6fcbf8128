// Run modes, line indices and engine counters shared by the engine, the controls and the console.
#pragma once
#include <cstdint>

namespace kt57 {

struct RunControl {
    char runMode = 'A';     // 'A' automatic, 'M' manual, 'P' posted, 'S' step
    char resumeMode = 'A';  // mode that leaving step mode returns to
    char savedMode = 'A';   // mode letter written back to the mode file
    int32_t stepPhase = 0;  // 0 none, 1 waiting for Enter, 2 one step granted
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
};

}  // namespace kt57
