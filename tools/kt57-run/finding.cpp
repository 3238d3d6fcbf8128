#include "tools/kt57-run/finding.h"

namespace kt57 {

std::string findingText(const std::string& eventsPath, const Expectation& expectation, const Failure& failure) {
    return eventsPath + ":" + std::to_string(expectation.sourceLine) + ":" + std::to_string(failure.column) +
           ": error: " + failure.message + "\n";
}

}  // namespace kt57
