// Hooks for a trace of the run (kt57-run) and for the checks of the fuzzers and the soak. The
// running program needs none of them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "sequencer/line_outcome.h"
#include "sequencer/machine_state.h"

namespace kt57 {

enum class ErrorStop { Data, Loop, Device };
inline constexpr ErrorStop errorStops[] = {ErrorStop::Data, ErrorStop::Loop, ErrorStop::Device};

// "data", "loop", "device": as the trace, kt57-ctl and the events file name the stops.
constexpr const char* errorStopName(ErrorStop stop) {
    switch (stop) {
        case ErrorStop::Data: return "data";
        case ErrorStop::Loop: return "loop";
        case ErrorStop::Device: return "device";
    }
    return "?";
}

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void linkOpened(int /*result*/) {}  // every openLink, start-up's attempts included
    // line: the index of the line it stopped at: the command whose reply never came (data), the
    // line that met the limit of lines without a command or a sleep (loop), the command that found
    // no board to send to (device).
    virtual void errorStopped(ErrorStop /*stop*/, int32_t /*line*/) {}
    virtual void modeFileWritten(const char* /*bytes*/, size_t /*size*/) {}  // written and replaced
    virtual void lineExecuted(LineOutcome /*outcome*/) {}  // every executeLine of a burst
    virtual void replyPolled(int /*received*/) {}         // every pollReply, with its result
    // Every whole reply, with the registers before and after it was applied.
    virtual void replyApplied(const MachineState& /*before*/, const MachineState& /*after*/,
                              const unsigned char* /*frame*/) {}
};

// Observes nothing.
RunObserver& noObserver();

}  // namespace kt57
