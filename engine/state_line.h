// One line of the run state, "state next=... link=N": what kt57-run's trace prints and what
// `kt57-ctl state` answers, so both speak the same words.
#pragma once
#include <cstddef>

#include "engine/sequencer.h"

namespace kt57 {

constexpr size_t stateLineCapacity = 400;  // every value of every field fits

// Writes the line, NUL-terminated, and returns its length.
int formatStateLine(const Sequencer& sequencer, char (&text)[stateLineCapacity]);

}  // namespace kt57
