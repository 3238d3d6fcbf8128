#include "tools/kt57-run/finding.h"

#include "timeline/pin_why.h"

namespace kt57 {

std::string findingText(const std::string& eventsPath, const Expectation& expectation, const Failure& failure,
                        const Timeline* timeline) {
    std::string text = eventsPath + ":" + std::to_string(expectation.sourceLine) + ":" +
                       std::to_string(failure.column) + ": error: " + failure.message + "\n";
    if (timeline == nullptr || !failure.aboutPin) return text;
    const std::string why = describePinWhy(*timeline, explainPin(*timeline, failure.pin, failure.at));
    size_t start = 0;
    while (start < why.size()) {
        const size_t end = why.find('\n', start);
        text += "  " + why.substr(start, end - start) + "\n";
        start = end == std::string::npos ? why.size() : end + 1;
    }
    return text;
}

}  // namespace kt57
