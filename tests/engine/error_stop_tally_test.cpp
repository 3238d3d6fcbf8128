// The error stops kt57d reports to `kt57-ctl state`: each kind counted, the latest named.
#include <gtest/gtest.h>

#include <vector>

#include "engine/error_stop_tally.h"

namespace kt57 {
namespace {

TEST(ErrorStopTally, CountsEachKindAndNamesTheLatest) {
    struct Case {
        std::vector<ErrorStop> stops;
        const char* expected;
    };
    const Case cases[] = {
        {{}, "data-stops=0 loop-stops=0 device-stops=0 last-stop=none"},
        {{ErrorStop::Data}, "data-stops=1 loop-stops=0 device-stops=0 last-stop=data"},
        {{ErrorStop::Loop}, "data-stops=0 loop-stops=1 device-stops=0 last-stop=loop"},
        {{ErrorStop::Device}, "data-stops=0 loop-stops=0 device-stops=1 last-stop=device"},
        {{ErrorStop::Device, ErrorStop::Data, ErrorStop::Data}, "data-stops=2 loop-stops=0 device-stops=1 last-stop=data"},
        {{ErrorStop::Data, ErrorStop::Loop, ErrorStop::Device}, "data-stops=1 loop-stops=1 device-stops=1 last-stop=device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ErrorStopTally tally;
        for (const ErrorStop stop : c.stops) static_cast<RunObserver&>(tally).errorStopped(stop);
        EXPECT_EQ(formatErrorStops(tally), c.expected);
    }
}

}  // namespace
}  // namespace kt57
