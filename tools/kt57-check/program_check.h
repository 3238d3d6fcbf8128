// What a program file really means, line by line: the surprises an author should see before a run.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kt57 {

// Error: the line cannot do what it spells (a jump that ends the program, an instruction that does
// nothing, a sleep that does not sleep, a line never read). Warning: it runs, but not as it looks.
enum class Severity { Warning, Error };

// Another line that a finding is about, printed after it as a compiler prints its notes.
struct Note {
    int fileLine;         // as in Finding
    int column;
    std::string message;  // UTF-8
};

struct Finding {
    int line;             // program line counted from 1, as on the screen
    std::string message;  // UTF-8
    int fileLine = 0;     // line of the file counted from 1; only LF ends one
    int column = 0;       // byte of that line counted from 1, a tab as one
    Severity severity = Severity::Warning;
    std::vector<Note> notes;
};

// Loads bytes exactly as the sequencer does and lists the findings in line order.
std::vector<Finding> checkProgram(const char* bytes, size_t size);

// The finding and its notes as compilers print them: "FILE:LINE:COLUMN: error: ..." and
// "FILE:LINE:COLUMN: note: ...", each line ending in a newline.
std::string formatFinding(const std::string& path, const Finding& finding);

}  // namespace kt57
