// The loaded store as text, one line per program line, for scripts and tests.
#pragma once
#include <string>

#include "sequencer/program_store.h"

namespace kt57 {

// "<index> <label> <opcode> <target> <operand> |<text>|" per line, then "lines <lineCount>".
// The 11 text bytes appear as stored, except that a byte outside 0x20-0x7E and the backslash
// are written \xHH.
std::string dumpStore(const ProgramStore& store);

}  // namespace kt57
