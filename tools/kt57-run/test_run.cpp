#include "tools/kt57-run/test_run.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/expectation_check.h"
#include "tools/kt57-run/finding.h"
#include "tools/kt57-run/junit_report.h"

namespace kt57 {

namespace {

namespace fs = std::filesystem;

constexpr int exitFailed = 1;
constexpr int exitBadFile = 2;
constexpr int exitReport = 3;

// A private copy of the program folder's two files for one rehearsal: every events file starts
// from the same mode file, and the folder itself is never written (an installed example's is
// read-only).
class ScratchFolder {
public:
    ScratchFolder(const std::string& directory, std::string& error) {
        std::error_code code;
        std::string pattern = (fs::temp_directory_path(code) / "kt57-run-test-XXXXXX").string();
        if (code || mkdtemp(pattern.data()) == nullptr) {
            error = std::string("cannot make a scratch folder: ") + (code ? code.message() : std::strerror(errno));
            return;
        }
        path_ = pattern;
        for (const char* name : {programFileName, modeFileName}) {
            const fs::path source = fs::path(directory) / name;
            if (!fs::exists(source, code)) continue;
            if (!fs::copy_file(source, fs::path(path_) / name, code)) {
                error = source.string() + ": cannot copy it for the rehearsal: " + code.message();
                return;
            }
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The verdict of each expectation of file, or false with error set when the rehearsal could not start.
bool rehearse(const TestOptions& options, const EventsFile& file, std::vector<Verdict>& verdicts, std::string& error) {
    const ScratchFolder folder(options.directory, error);
    if (!error.empty()) {
        error = "kt57-run: " + error;
        return false;
    }
    HeadlessRun run({folder.path(), options.boardSerial});
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
        for (size_t i = 0; i < file.expectations.size(); ++i) {
            const Expectation& expectation = file.expectations[i];
            JunitCase& test = suite.cases.emplace_back();
            test.name = expectation.text;
            test.line = expectation.sourceLine;
            for (const Failure& failure : verdicts[i].failures) {
                const std::string finding = findingText(path, expectation, failure);
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
