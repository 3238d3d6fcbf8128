// Optional hooks for a trace of the run (kt57-run). The running program needs none of them.
#pragma once
#include <cstddef>

namespace kt57 {

enum class ErrorStop { Data, Loop, Device };

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void linkOpened(int /*result*/) {}  // every openLink, start-up's attempts included
    virtual void errorStopped(ErrorStop /*stop*/) {}
    virtual void modeFileWritten(const char* /*bytes*/, size_t /*size*/) {}  // written and replaced
};

}  // namespace kt57
