// Hooks for a trace of the run (kt57-run) and for the checks of the fuzzers and the soak. The
// running program needs none of them.
#pragma once
#include <cstddef>

#include "sequencer/line_outcome.h"
#include "sequencer/machine_state.h"

namespace kt57 {

enum class ErrorStop { Data, Loop, Device };

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void linkOpened(int /*result*/) {}  // every openLink, start-up's attempts included
    virtual void errorStopped(ErrorStop /*stop*/) {}
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
