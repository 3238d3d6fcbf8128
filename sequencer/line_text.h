// A program line's instruction as people read it in the tools' output: its eleven columns with the
// blanks at their end cut, bytes outside printable ASCII escaped as in the trace's frames.
#pragma once
#include <cstdint>
#include <string>

#include "sequencer/program_store.h"

namespace kt57 {

// Empty for an index outside the program.
std::string shownLineText(const ProgramStore& program, int32_t line);

}  // namespace kt57
