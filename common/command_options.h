// A program's command line as one table in the program's own folder: its parser knows an option
// only from the table and its --help lists the table, so the two cannot tell different stories.
// tests/programs/help_and_manuals.py holds each manual page and user document to the --help.
#pragma once
#include <span>
#include <string>
#include <string_view>

namespace kt57 {

// Its line in --help reads "NAME VALUE   MEANING: RULE; default DEFAULT".
struct CommandOption {
    const char* name;          // "--until"
    const char* value;         // the name of its value, "MS"; nullptr when it takes none
    const char* meaning;
    const char* rule;          // what a value must be, as the refusal of a bad one says it; or nullptr
    const char* defaultValue;  // or nullptr
};

struct CommandLine {
    const char* program;
    std::span<const CommandOption> options;
    const char* operands;  // what follows the options in the usage line, "[DIR]"; "" for nothing
    const char* notes;     // lines after the options, each ending in a newline; "" for none
};

// "usage: PROGRAM [--a X] [--b] OPERANDS" and a newline: what follows a refused command line.
std::string usageLine(const CommandLine& line);

// The --help text: the usage line, one line for each option of the table, then -h/--help and
// --version (which every program answers alike), then the notes.
std::string usageText(const CommandLine& line);

// The option of the table that name names exactly; nullptr when there is none.
const CommandOption* findOption(const CommandLine& line, std::string_view name);

// The refusal of a value that breaks option's rule: "bad --latency '5ms': whole milliseconds ...".
std::string badValue(const CommandOption& option, std::string_view value);

// -h or --help.
bool isHelpOption(std::string_view argument);

}  // namespace kt57
