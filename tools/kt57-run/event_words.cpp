#include "tools/kt57-run/event_words.h"

namespace kt57 {

namespace {

// The characters a stream's >> skips in the C locale: how the words were always split.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

EventWords::EventWords(const std::string& text) : line(text) {
    size_t at = 0;
    while (at < line.size()) {
        if (isBlank(line[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < line.size() && !isBlank(line[end])) ++end;
        if (line[at] == '#') break;
        words.push_back(line.substr(at, end - at));
        columns.push_back(static_cast<int>(at) + 1);
        at = end;
    }
}

std::string EventWords::from(size_t first) const {
    if (first >= words.size()) return "";
    const size_t start = static_cast<size_t>(columns[first] - 1);
    const size_t end = static_cast<size_t>(columns.back() - 1) + words.back().size();
    return line.substr(start, end - start);
}

bool parseDecimal(const std::string& word, uint64_t limit, uint64_t& value) {
    if (word.empty() || word.size() > 19) return false;
    value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value <= limit;
}

}  // namespace kt57
