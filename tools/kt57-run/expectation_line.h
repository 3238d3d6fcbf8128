// The words of an expectation line after its time: "expect" and what must hold.
#pragma once
#include <string>

#include "tools/kt57-run/event_words.h"
#include "tools/kt57-run/expectation.h"

namespace kt57 {

// The names of the edges, "rise", "fall", "change".
const char* edgeWord(Edge edge);

// Reads words[2] on ("expect" is words[1]) into expectation, whose moments the caller has set;
// fills its kind and what it compares, its column and its text. False with message set.
bool parseExpectation(const EventWords& line, Expectation& expectation, std::string& message);

}  // namespace kt57
