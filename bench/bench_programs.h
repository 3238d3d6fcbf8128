// The sequence programs the benchmarks run, written into a scratch directory with a mode file.
#pragma once
#include <string>

namespace kt57::bench {

// Writes KT57Data.txt and KT57Mode.txt ("AD": automatic, detail view on) into directory.
void writeProgram(const std::string& directory, const std::string& program);

// 256 lines of control instructions in one loop: every burst runs into the loop error after 201
// of them, each followed by a status-row and listing-marker redraw, and the C key resumes.
std::string worstCaseTickProgram();

// Steady running: device commands with their replies, loops with SET/DEC, short and real sleeps.
std::string steadyRunningProgram();

// The heaviest program that keeps running: close to 200 control lines and one command every tick,
// with an output that changes at each.
std::string heaviestRunningProgram();

}  // namespace kt57::bench
