#include "tools/kt57-run/test_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "timeline/scratch_folder.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/expectation_check.h"
#include "tools/kt57-run/finding.h"
#include "tools/kt57-run/junit_report.h"
#include "tools/kt57-run/moment_queries.h"

namespace kt57 {

namespace {

namespace fs = std::filesystem;

constexpr int exitFailed = 1;
constexpr int exitBadFile = 2;
constexpr int exitReport = 3;

// A private copy of the program folder's two files for one rehearsal: every events file starts
// from the same mode file, and the folder itself is never written (an installed example's is
// read-only). Empty, with error set, when it cannot be made.
std::unique_ptr<ScratchFolder> copyOfFolder(const std::string& directory, std::string& error) {
    auto folder = std::make_unique<ScratchFolder>("kt57-run-test");
    if (!folder->error().empty()) {
        error = folder->error();
        return nullptr;
    }
    std::error_code code;
    for (const char* name : {programFileName, modeFileName}) {
        const fs::path source = fs::path(directory) / name;
        if (!fs::exists(source, code)) continue;
        if (!fs::copy_file(source, fs::path(folder->path()) / name, code)) {
            error = source.string() + ": cannot copy it for the rehearsal: " + code.message();
            return nullptr;
        }
    }
    return folder;
}

// The verdict of each expectation of file, or false with error set when the rehearsal could not start.
bool rehearse(const TestOptions& options, const EventsFile& file, std::vector<Verdict>& verdicts, std::string& error) {
    const std::unique_ptr<ScratchFolder> folder = copyOfFolder(options.directory, error);
    if (folder == nullptr) {
        error = "kt57-run: " + error;
        return false;
    }
    HeadlessRun run({folder->path(), options.boardSerial});
    ExpectationChecker checker(file.expectations, run);
    run.setObserver(&checker);
    for (const HeadlessEvent& event : file.events) run.post(event);
    rehearseChecked(run, checker, options.until);
    verdicts = checker.verdicts();
    return true;
}

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
        std::vector<Verdict> verdicts;
        std::string error;
        if (!readEventsFile(path, file, error) || !rehearse(options, file, verdicts, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            suite.error = error;
            ++notRun;
            continue;
        }
        // A pin that was wrong is explained from the rehearsal's timeline, built once per file.
        std::unique_ptr<Timeline> timeline;
        auto timelineFor = [&]() -> const Timeline* {
            if (timeline != nullptr) return timeline.get();
            RehearsalInputs inputs;
            std::string why;
            if (!readRehearsalFiles(options.directory, inputs, why)) return nullptr;
            inputs.events = file.events;
            inputs.boardSerial = options.boardSerial;
            inputs.until = options.until;
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
