// The error stops kt57d reports to `kt57-ctl state`: each kind counted, the latest named with the
// line it stopped at, numbered from 1 as the screen numbers it.
#include <gtest/gtest.h>

#include <vector>

#include "engine/error_stop_tally.h"

namespace kt57 {
namespace {

TEST(ErrorStopTally, CountsEachKindAndNamesTheLatest) {
    struct Stop {
        ErrorStop kind;
        int32_t line;
    };
    struct Case {
        std::vector<Stop> stops;
        const char* expected;
    };
    const Case cases[] = {
        {{}, "data-stops=0 loop-stops=0 device-stops=0 last-stop=none"},
        {{{ErrorStop::Data, 0}}, "data-stops=1 loop-stops=0 device-stops=0 last-stop=data last-stop-line=1"},
        {{{ErrorStop::Loop, 4}}, "data-stops=0 loop-stops=1 device-stops=0 last-stop=loop last-stop-line=5"},
        {{{ErrorStop::Device, 255}}, "data-stops=0 loop-stops=0 device-stops=1 last-stop=device last-stop-line=256"},
        {{{ErrorStop::Device, 7}, {ErrorStop::Data, 2}, {ErrorStop::Data, 10}},
         "data-stops=2 loop-stops=0 device-stops=1 last-stop=data last-stop-line=11"},
        {{{ErrorStop::Data, 1}, {ErrorStop::Loop, 2}, {ErrorStop::Device, 3}},
         "data-stops=1 loop-stops=1 device-stops=1 last-stop=device last-stop-line=4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ErrorStopTally tally;
        for (const Stop& stop : c.stops) static_cast<RunObserver&>(tally).errorStopped(stop.kind, stop.line);
        EXPECT_EQ(formatErrorStops(tally), c.expected);
    }
}

}  // namespace
}  // namespace kt57
