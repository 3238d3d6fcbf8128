// The JUnit XML report of kt57-run --test, the form every CI system reads: one test suite per
// events file, one test case per expectation, a failure with the findings of each that failed,
// and an error for an events file that could not be read or parsed.
#pragma once
#include <string>
#include <vector>

namespace kt57 {

struct JunitCase {
    std::string name;      // the expectation as written: "2500 expect out3 1"
    int line = 0;          // in the events file
    std::string failure;   // the first finding's message; empty when the expectation held
    std::string findings;  // every finding line, for the failure's text
};

struct JunitSuite {
    std::string file;   // the events file as named on the command line
    std::string error;  // why it was not run; empty when it was
    std::vector<JunitCase> cases;
};

// The whole document.
std::string junitReport(const std::vector<JunitSuite>& suites);

// Text as XML character data or an attribute value: the five special characters escaped, and
// whatever XML cannot hold (control characters, bytes that are no UTF-8) as U+FFFD.
std::string xmlText(const std::string& text);

}  // namespace kt57
