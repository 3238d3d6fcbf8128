// What executing one program line tells the engine.
#pragma once

namespace kt57 {

enum class LineOutcome {
    Executed,       // a control instruction ran; bookkeeping follows
    SleepStarted,   // SLP of at least 0.1 s set sleepTicks; the burst ends after bookkeeping
    Skipped,        // blank line or short SLP passed over; no bookkeeping
    DeviceCommand,  // a device command (or the end): nothing changed
};

}  // namespace kt57
