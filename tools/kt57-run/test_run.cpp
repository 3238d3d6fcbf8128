#include "tools/kt57-run/test_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/expectation_check.h"
#include "tools/kt57-run/finding.h"
#include "tools/kt57-run/junit_report.h"
#include "tools/kt57-run/moment_queries.h"

namespace kt57 {

namespace {

constexpr int exitFailed = 1;
constexpr int exitBadFile = 2;
constexpr int exitReport = 3;

std::string counted(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

int runTests(const TestOptions& options) {
    std::vector<JunitSuite> suites;
    size_t expectations = 0;
    size_t failed = 0;
    size_t notRun = 0;
    for (const std::string& path : options.eventsFiles) {
        JunitSuite& suite = suites.emplace_back();
        suite.file = path;
        EventsFile file;
        RehearsalInputs inputs;
        std::vector<Verdict> verdicts;
        std::string error;
        bool rehearsed = readEventsFile(path, file, error);
        if (rehearsed) {
            // Each file's rehearsal starts from the folder's files as they are, the mode file too.
            inputs.events = file.events;
            inputs.boardSerial = options.boardSerial;
            inputs.until = options.until;
            rehearsed = readRehearsalFiles(options.directory, inputs, error) &&
                        checkExpectations(inputs, file.expectations, verdicts, error);
            if (!rehearsed) error = "kt57-run: " + error;
        }
        if (!rehearsed) {
            std::fprintf(stderr, "%s\n", error.c_str());
            suite.error = error;
            ++notRun;
            continue;
        }
        // A pin that was wrong is explained from the rehearsal's timeline, built once per file.
        std::unique_ptr<Timeline> timeline;
        auto timelineFor = [&]() -> const Timeline* {
            if (timeline != nullptr) return timeline.get();
            std::string why;
            timeline = std::make_unique<Timeline>();
            if (!timeline->build(inputs, why)) timeline.reset();
            return timeline.get();
        };
        for (size_t i = 0; i < file.expectations.size(); ++i) {
            const Expectation& expectation = file.expectations[i];
            JunitCase& test = suite.cases.emplace_back();
            test.name = expectation.text;
            test.line = expectation.sourceLine;
            for (const Failure& failure : verdicts[i].failures) {
                const std::string finding =
                    findingText(path, expectation, failure, failure.aboutPin ? timelineFor() : nullptr);
                std::fputs(finding.c_str(), stdout);
                test.findings += finding;
                if (test.failure.empty()) test.failure = failure.message;
            }
            failed += verdicts[i].held() ? 0 : 1;
        }
        expectations += file.expectations.size();
    }
    std::fflush(stdout);
    std::string summary = counted(expectations, "expectation", "expectations") + " in " +
                          counted(options.eventsFiles.size() - notRun, "events file", "events files") + ": " +
                          std::to_string(expectations - failed) + " held, " + std::to_string(failed) + " failed";
    if (notRun > 0) summary += "; " + counted(notRun, "events file", "events files") + " not run";
    std::fprintf(stderr, "kt57-run: %s\n", summary.c_str());

    if (!options.junitFile.empty()) {
        const std::string report = junitReport(suites);
        std::FILE* out = std::fopen(options.junitFile.c_str(), "wb");
        bool written = out != nullptr && std::fwrite(report.data(), 1, report.size(), out) == report.size();
        if (out != nullptr && std::fclose(out) != 0) written = false;
        if (!written) {
            std::fprintf(stderr, "kt57-run: %s: cannot write the report: %s\n", options.junitFile.c_str(),
                         std::strerror(errno));
            if (notRun == 0) return exitReport;
        }
    }
    if (notRun > 0) return exitBadFile;
    return failed > 0 ? exitFailed : 0;
}

}  // namespace kt57
