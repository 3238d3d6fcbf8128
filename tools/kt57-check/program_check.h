// What a program file really means, line by line: the surprises an author should see before a run.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kt57 {

// Error: the line cannot do what it spells (a jump that ends the program, an instruction that does
// nothing, a sleep that does not sleep, a line never read). Warning: it runs, but not as it looks.
enum class Severity { Warning, Error };

struct Finding {
    int line;             // program line counted from 1, as on the screen
    std::string message;  // UTF-8
    int fileLine = 0;     // line of the file counted from 1; only LF ends one
    int column = 0;       // byte of that line counted from 1, a tab as one
    Severity severity = Severity::Warning;
};

// Loads bytes exactly as the sequencer does and lists the findings in line order.
std::vector<Finding> checkProgram(const char* bytes, size_t size);

}  // namespace kt57
