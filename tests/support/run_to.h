// A headless run driven to a time with a look after every delivered message, for the fuzzers'
// and the soak's invariants.
#pragma once
#include <cstdint>
#include <functional>

#include "platform/headless/headless_run.h"

namespace kt57::support {

// As HeadlessRun::runUntil, calling afterStep after each message; ticked says whether it was a tick.
void runTo(HeadlessRun& run, int64_t limit, const std::function<void(bool ticked)>& afterStep);

}  // namespace kt57::support
