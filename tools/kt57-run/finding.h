// The finding of a failed expectation, in the form compilers print and editors follow:
// "EVENTS:LINE:COL: error: expected out3 = 1 at 2500 ms, was 0". Every finding kt57-run --test
// prints or puts in its report is made here, so what explains one belongs after it, here too.
#pragma once
#include <string>

#include "timeline/timeline.h"
#include "tools/kt57-run/expectation.h"
#include "tools/kt57-run/expectation_check.h"

namespace kt57 {

// The finding's lines, each ending in a newline. For a pin that was wrong, and given the
// rehearsal's timeline, the lines after it say why the pin had its value then, indented so that
// editors take only the first for the finding.
std::string findingText(const std::string& eventsPath, const Expectation& expectation, const Failure& failure,
                        const Timeline* timeline = nullptr);

}  // namespace kt57
