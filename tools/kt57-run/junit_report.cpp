#include "tools/kt57-run/junit_report.h"

#include <cstdint>

namespace kt57 {

namespace {

constexpr char replacement[] = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at text[at], or 0.
size_t utf8Length(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    uint32_t minimum = 0;
    uint32_t value = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        value = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        value = value << 6 | (byte(at + i) & 0x3Fu);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    // U+FFFE and U+FFFF are no XML characters either.
    if (value < minimum || value > 0x10FFFF || surrogate || value == 0xFFFE || value == 0xFFFF) return 0;
    return length;
}

std::string attribute(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + xmlText(value) + "\"";
}

}  // namespace

std::string xmlText(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        const size_t length = utf8Length(text, at);
        if (length == 0) {
            out += replacement;
            ++at;
            continue;
        }
        if (length > 1) {
            out.append(text, at, length);
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&apos;";
        } else if (c == '\n' || c == '\t') {
            out += c == '\n' ? "&#10;" : "&#9;";  // kept even inside an attribute value
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            out += replacement;
        } else {
            out += c;
        }
        at += length;
    }
    return out;
}

std::string junitReport(const std::vector<JunitSuite>& suites) {
    size_t tests = 0;
    size_t failures = 0;
    size_t errors = 0;
    std::string body;
    for (const JunitSuite& suite : suites) {
        size_t suiteFailures = 0;
        std::string cases;
        for (const JunitCase& test : suite.cases) {
            cases += "    <testcase" + attribute("name", test.name) + attribute("classname", suite.file) +
                     attribute("file", suite.file) + attribute("line", std::to_string(test.line));
            if (test.failure.empty()) {
                cases += "/>\n";
                continue;
            }
            ++suiteFailures;
            cases += ">\n      <failure" + attribute("message", test.failure) + attribute("type", "expectation") + ">" +
                     xmlText(test.findings) + "</failure>\n    </testcase>\n";
        }
        const bool failed = !suite.error.empty();
        if (failed) {
            // A file that did not run is one test in error, so that no report of it reads as passed.
            cases += "    <testcase" + attribute("name", suite.file) + attribute("classname", suite.file) + ">\n" +
                     "      <error" + attribute("message", suite.error) + attribute("type", "events file") + "/>\n" +
                     "    </testcase>\n";
        }
        const size_t suiteTests = suite.cases.size() + (failed ? 1 : 0);
        body += "  <testsuite" + attribute("name", suite.file) + attribute("tests", std::to_string(suiteTests)) +
                attribute("failures", std::to_string(suiteFailures)) + attribute("errors", failed ? "1" : "0") +
                attribute("skipped", "0") + ">\n" + cases + "  </testsuite>\n";
        tests += suiteTests;
        failures += suiteFailures;
        errors += failed ? 1 : 0;
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" + attribute("name", "kt57-run") +
           attribute("tests", std::to_string(tests)) + attribute("failures", std::to_string(failures)) +
           attribute("errors", std::to_string(errors)) + ">\n" + body + "</testsuites>\n";
}

}  // namespace kt57
