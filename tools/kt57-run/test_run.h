// kt57-run --test: one rehearsal per events file, each checked against its expectations; a
// finding for each that fails, one summary line, and the JUnit report when asked for.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kt57 {

struct TestOptions {
    std::vector<std::string> eventsFiles;
    std::string directory;  // the program folder, already checked
    int64_t until = 60000;
    std::string boardSerial;
    std::string junitFile;  // empty: no report
};

// Exit status: 0 when every expectation held, 1 when one failed, 2 when an events file could not
// be read or parsed (the others still run), 3 when the report could not be written.
int runTests(const TestOptions& options);

}  // namespace kt57
