// kt57-run: rehearses a program headless, against the virtual board in virtual time, and prints
// a trace. Usage and formats: docs/kt57-run.md.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/byte_output.h"
#include "common/command_options.h"
#include "common/program_folder.h"
#include "common/version_option.h"
#include "device/board_protocol.h"
#include "platform/headless/headless_run.h"
#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "tools/common/bounded_file.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/lines_trace.h"
#include "tools/kt57-run/moment_queries.h"
#include "tools/kt57-run/run_trace.h"
#include "tools/kt57-run/run_waves.h"
#include "tools/kt57-run/studio.h"
#include "tools/kt57-run/test_run.h"

namespace {

constexpr int exitUsage = 2;
constexpr int exitWaveform = 3;  // the --vcd file could not be created or written whole

constexpr kt57::CommandOption runOptions[] = {
    {"--events", "FILE", "scripted events, one a line (docs/kt57-run.md)", nullptr, nullptr},
    {"--until", "MS", "the last virtual millisecond to run, inclusive", nullptr, "60000"},
    {"--board-serial", "S", "the virtual board's serial number", kt57::serialNumberRule,
     kt57::defaultVirtualSerialNumber},
    {"--vcd", "FILE", "also write the rehearsal as a waveform (docs/waveforms.md); the trace is the same", nullptr,
     nullptr},
    {"--error-lines", nullptr, "after each error stop, also print the program line it stopped at", nullptr, nullptr},
    {"--at", "MS", "instead of the trace, print the screen and the state line at that moment (repeatable)", nullptr,
     nullptr},
    {"--why", "PIN@MS", "instead of the trace, say why a pin (out0-out23, in0-in23) has its value then (repeatable)",
     nullptr, nullptr},
    {"--studio", nullptr, "serve the rehearsal page on 127.0.0.1 and open it in the browser; no trace", nullptr,
     nullptr},
    {"--no-browser", nullptr, "with --studio: only print the page's address", nullptr, nullptr},
    {"--lines", nullptr, "also trace each executed program line: the branch taken, the registers changed", nullptr,
     nullptr},
    {"--test", nullptr, "rehearse each EVENTS file and check its expectations: findings instead of a trace", nullptr,
     nullptr},
    {"--junit", "FILE", "with --test, also write a JUnit XML report", nullptr, nullptr},
};
constexpr kt57::CommandLine commandLine{
    "kt57-run", runOptions, "[EVENTS...] [DIR | DIR/KT57Data.txt]",
    "Rehearses the program in DIR (default: the working directory) against the virtual board, in\n"
    "virtual time, and prints a trace. With --test, once per EVENTS file (EVENTS only with --test);\n"
    "with --studio it serves the rehearsal page instead, until the page is closed or Ctrl+C.\n"};

struct Options {
    std::string eventsFile;
    int64_t until = 60000;
    std::string boardSerial = kt57::defaultVirtualSerialNumber;
    std::string directory = ".";
    std::string vcdFile;
    bool errorLines = false;
    bool untilGiven = false;
    std::vector<kt57::MomentQuery> queries;  // --at and --why, in command-line order
    bool studio = false;
    bool openBrowser = true;
    bool lines = false;
    bool test = false;
    kt57::TestOptions tests;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "kt57-run: %s\n%s", message.c_str(), kt57::usageLine(commandLine).c_str());
    return exitUsage;
}

bool parseUntil(const char* text, int64_t& value) {
    if (*text == '\0' || std::strlen(text) > 15) return false;
    value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        value = value * 10 + (*c - '0');
    }
    return true;
}

// With --test the operands are the events files and, last, the DIR when it names a folder or a
// KT57Data.txt. Returns -1 when they are good, else the exit status.
int testOperands(Options& options, std::vector<std::string>& operands) {
    if (!options.eventsFile.empty()) return fail("--test takes its events files as operands, not by --events");
    if (!options.vcdFile.empty() || options.errorLines || options.lines) {
        return fail("--test prints findings, not a trace: no --vcd, --error-lines or --lines with it");
    }
    if (!operands.empty() && kt57::programFolderOf(operands.back()).error.empty()) {
        options.directory = operands.back();
        operands.pop_back();
    }
    if (operands.empty()) return fail("--test needs at least one events file");
    options.tests.eventsFiles = operands;
    return -1;
}

// Returns -1 when the options are good, else the exit status.
int parseOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (kt57::isHelpOption(arg)) {
            std::fputs(kt57::usageText(commandLine).c_str(), stdout);
            return 0;
        }
        const kt57::CommandOption* option = kt57::findOption(commandLine, arg);
        if (option == nullptr) {
            if (arg.size() > 1 && arg[0] == '-') return fail("unknown option '" + arg + "'");
            operands.push_back(arg);
            continue;
        }
        if (option->value == nullptr) {
            if (arg == "--error-lines") options.errorLines = true;
            else if (arg == "--studio") options.studio = true;
            else if (arg == "--no-browser") options.openBrowser = false;
            else if (arg == "--lines") options.lines = true;
            else options.test = true;
            continue;
        }
        if (i + 1 >= argc) return fail("option " + arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--events") {
            options.eventsFile = value;
        } else if (arg == "--vcd") {
            options.vcdFile = value;
            if (options.vcdFile.empty()) return fail("option --vcd needs a file name");
        } else if (arg == "--until") {
            if (!parseUntil(value.c_str(), options.until)) return fail("bad --until '" + value + "': milliseconds");
            options.untilGiven = true;
        } else if (arg == "--at") {
            kt57::MomentQuery query;
            if (!parseUntil(value.c_str(), query.at)) return fail("bad --at '" + value + "': milliseconds");
            options.queries.push_back(query);
        } else if (arg == "--why") {
            kt57::MomentQuery query;
            if (!kt57::parseWhyQuery(value, query)) {
                return fail("bad --why '" + value + "': a pin (out0-out23, in0-in23), '@' and milliseconds, as out3@2500");
            }
            options.queries.push_back(query);
        } else if (arg == "--board-serial") {
            if (!kt57::isSerialNumber(value.data(), value.size())) return fail(kt57::badValue(*option, value));
            options.boardSerial = value;
        } else if (arg == "--junit") {
            options.tests.junitFile = value;
            if (value.empty()) return fail("option --junit needs a file name");
        }
    }
    if (!options.queries.empty()) {
        if (!options.vcdFile.empty() || options.errorLines) return fail("--at and --why print no trace: no --vcd or --error-lines with them");
        // Without --until the rehearsal runs to the last moment asked about.
        int64_t last = 0;
        for (const kt57::MomentQuery& query : options.queries) last = std::max(last, query.at);
        if (!options.untilGiven) options.until = last;
        else if (last > options.until) return fail("a moment after --until " + std::to_string(options.until) + " was asked about");
    }
    if (!options.studio && !options.openBrowser) return fail("--no-browser goes with --studio");
    if (options.studio && !options.queries.empty()) return fail("--studio answers on its page: no --at or --why with it");
    if (options.studio && (!options.vcdFile.empty() || options.errorLines)) {
        return fail("--studio prints no trace: it takes neither --vcd nor --error-lines");
    }
    if (options.test && (options.studio || !options.queries.empty())) {
        return fail("--test prints findings: no --at, --why or --studio with it");
    }
    if (options.lines && (options.studio || !options.queries.empty())) {
        return fail("--lines adds to the trace: no --at, --why or --studio with it");
    }
    if (options.test) {
        const int status = testOperands(options, operands);
        if (status >= 0) return status;
    } else if (!options.tests.junitFile.empty()) {
        return fail("--junit goes with --test");
    } else if (operands.size() > 1) {
        return fail("more than one DIR: '" + operands[1] + "'");
    } else if (!operands.empty()) {
        options.directory = operands[0];
    }
    const kt57::ProgramFolder folder = kt57::programFolderOf(options.directory);
    if (!folder.error.empty()) return fail(folder.error);
    options.directory = folder.directory;
    options.tests.directory = folder.directory;
    options.tests.until = options.until;
    options.tests.boardSerial = options.boardSerial;
    return -1;
}

// The core would take a FIFO or device in place of these files for no file at all, and run; a
// rehearsal says so instead. Returns -1 when both are usable, else the exit status.
int checkFolderFiles(const std::string& directory) {
    const struct {
        const char* name;
        const char* what;
    } files[] = {{kt57::programFileName, "program"}, {kt57::modeFileName, "mode"}};
    for (const auto& file : files) {
        const std::string path = (std::filesystem::path(directory) / file.name).string();
        std::string error;
        if (!kt57::absentOrRegular(path.c_str(), error)) {
            std::fprintf(stderr, "kt57-run: %s: cannot read the %s file: %s\n", path.c_str(), file.what, error.c_str());
            return exitUsage;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    kt57::useByteOutput();
    if (kt57::printedVersion(argc, argv, "kt57-run")) return 0;
    Options options;
    int status = parseOptions(argc, argv, options);
    if (status >= 0) return status;
    status = checkFolderFiles(options.directory);
    if (status >= 0) return status;

    if (options.test) return kt57::runTests(options.tests);

    // Expectations are read, so a bad one is refused as any bad line, but only --test checks them.
    kt57::EventsFile script;
    std::string error;
    if (!options.eventsFile.empty() && !kt57::readEventsFile(options.eventsFile, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return exitUsage;
    }
    if (options.studio) {
        return kt57::runStudio({{options.directory, options.eventsFile, options.boardSerial, options.until},
                                options.openBrowser});
    }

    if (!options.queries.empty()) {
        kt57::RehearsalInputs inputs;
        if (!kt57::readRehearsalFiles(options.directory, inputs, error)) {
            std::fprintf(stderr, "kt57-run: %s\n", error.c_str());
            return exitUsage;
        }
        inputs.events = std::move(script.events);
        inputs.boardSerial = options.boardSerial;
        inputs.until = options.until;
        if (!kt57::answerMomentQueries(inputs, options.queries, stdout, error)) {
            std::fprintf(stderr, "kt57-run: %s\n", error.c_str());
            return exitUsage;
        }
        std::fflush(stdout);
        return 0;
    }

    kt57::HeadlessRun run({options.directory, options.boardSerial});
    kt57::TraceWriter trace(stdout, run.clock());
    kt57::TracingDriver driver(run.board(), trace);
    kt57::TracingSurface surface(run.canvas(), trace);
    kt57::TracingObserver errors(trace, options.errorLines);
    kt57::LinesTrace lines(trace, run.sequencer(), errors);
    kt57::RunObserver& observer = options.lines ? static_cast<kt57::RunObserver&>(lines) : errors;
    run.useDriver(driver);
    run.useSurface(surface);
    kt57::RunWaves waves(run, observer);
    const bool recording = !options.vcdFile.empty();
    if (recording && !waves.open(options.vcdFile)) {
        std::fprintf(stderr, "kt57-run: %s: %s\n", options.vcdFile.c_str(), waves.error().c_str());
        return exitWaveform;
    }
    run.setObserver(recording ? static_cast<kt57::RunObserver*>(&waves) : &observer);
    run.onReport = [&](const kt57::HeadlessEvent& event) {
        if (event.kind == kt57::HeadlessEventKind::Screen) trace.screen(run.canvas());
        else trace.line(kt57::formatState(run.sequencer()));
    };
    for (const kt57::HeadlessEvent& event : script.events) run.post(event);

    run.start();
    // Ends at the window's destruction, when nothing more can happen, or at --until (inclusive).
    bool ended = false;
    auto checkEnd = [&] {
        if (recording) waves.sample();
        if (run.finished()) {
            trace.line("exit");
            return true;
        }
        return run.idle();
    };
    ended = checkEnd();
    while (!ended && run.step(options.until)) ended = checkEnd();
    if (!ended) run.clock().advanceTo(options.until);
    lines.finish();
    trace.line(kt57::formatState(run.sequencer()));
    std::fflush(stdout);
    if (recording && !waves.close()) {
        std::fprintf(stderr, "kt57-run: %s: %s\n", options.vcdFile.c_str(), waves.error().c_str());
        return exitWaveform;
    }
    return 0;
}
