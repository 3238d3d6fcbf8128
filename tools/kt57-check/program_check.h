// What a program file really means, line by line: the surprises an author should see before a run.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kt57 {

struct Finding {
    int line;             // program line counted from 1, as on the screen
    std::string message;  // UTF-8
};

// Loads bytes exactly as the sequencer does and lists the findings in line order.
std::vector<Finding> checkProgram(const char* bytes, size_t size);

}  // namespace kt57
