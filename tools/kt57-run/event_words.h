// A line of kt57-run's events file as words, each with the column it starts at, and the numbers
// written in them: what the events and the expectations are parsed from.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kt57 {

// The latest millisecond an events file may name.
inline constexpr uint64_t maxEventTime = uint64_t{1} << 53;

struct EventWords {
    std::vector<std::string> words;  // up to a word that begins with '#'
    std::vector<int> columns;        // of each word, counted in bytes from 1
    std::string line;                // the whole line as written

    explicit EventWords(const std::string& text);
    // The line as written from word first to the last word, blanks between them kept.
    std::string from(size_t first) const;
};

// A decimal number of at most 19 digits, no sign, not above limit.
bool parseDecimal(const std::string& word, uint64_t limit, uint64_t& value);

}  // namespace kt57
