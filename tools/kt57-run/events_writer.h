// Writing kt57-run's events file: the line that events_file.h's parser reads back as the same
// event. The rehearsal page saves what-if events with it.
#pragma once
#include <string>

#include "platform/headless/headless_event.h"

namespace kt57 {

// "<ms> <event> [args]" without a line end. The event's sourceLine is not written.
std::string eventLine(const HeadlessEvent& event);

}  // namespace kt57
