#include "tests/support/run_to.h"

namespace kt57::support {

void runTo(HeadlessRun& run, int64_t limit, const std::function<void(bool ticked)>& afterStep) {
    for (;;) {
        const int ticksBefore = run.ticksDelivered();
        if (!run.step(limit)) break;
        afterStep(run.ticksDelivered() != ticksBefore);
    }
    if (!run.finished()) run.clock().advanceTo(limit);
}

}  // namespace kt57::support
