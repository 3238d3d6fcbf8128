// kt57-run: rehearses a program headless, against the virtual board in virtual time, and prints
// a trace. Usage and formats: docs/kt57-run.md.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/version_option.h"
#include "device/board_protocol.h"
#include "platform/headless/headless_run.h"
#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "tools/common/bounded_file.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/run_trace.h"
#include "tools/kt57-run/run_waves.h"

namespace {

constexpr int exitUsage = 2;
constexpr int exitWaveform = 3;  // the --vcd file could not be created or written whole
constexpr const char* usage = "usage: kt57-run [--events FILE] [--until MS] [--board-serial S] [--error-lines] [DIR]\n";

struct Options {
    std::string eventsFile;
    int64_t until = 60000;
    std::string boardSerial = kt57::defaultVirtualSerialNumber;
    std::string directory = ".";
    std::string vcdFile;
    bool errorLines = false;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "kt57-run: %s\n%s", message.c_str(), usage);
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

bool validSerial(const std::string& serial) {
    if (serial.empty() || serial.size() > 8) return false;
    for (char c : serial) {
        if (c <= 0x20 || c >= 0x7F) return false;
    }
    return true;
}

// Returns -1 when the options are good, else the exit status.
int parseOptions(int argc, char** argv, Options& options) {
    bool haveDirectory = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--events" || arg == "--until" || arg == "--board-serial" || arg == "--vcd";
        if (takesValue && i + 1 >= argc) return fail("option " + arg + " needs a value");
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (arg == "--error-lines") {
            options.errorLines = true;
        } else if (arg == "--events") {
            options.eventsFile = argv[++i];
        } else if (arg == "--vcd") {
            options.vcdFile = argv[++i];
            if (options.vcdFile.empty()) return fail("option --vcd needs a file name");
        } else if (arg == "--until") {
            if (!parseUntil(argv[++i], options.until)) return fail(std::string("bad --until '") + argv[i] + "': milliseconds");
        } else if (arg == "--board-serial") {
            options.boardSerial = argv[++i];
            if (!validSerial(options.boardSerial)) {
                return fail("bad --board-serial '" + options.boardSerial + "': 1 to 8 printable characters");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option '" + arg + "'");
        } else if (haveDirectory) {
            return fail("more than one DIR: '" + arg + "'");
        } else {
            options.directory = arg;
            haveDirectory = true;
        }
    }
    std::error_code error;
    if (!std::filesystem::is_directory(options.directory, error)) return fail(options.directory + ": no such directory");
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
    if (kt57::printedVersion(argc, argv, "kt57-run")) return 0;
    Options options;
    int status = parseOptions(argc, argv, options);
    if (status >= 0) return status;
    status = checkFolderFiles(options.directory);
    if (status >= 0) return status;

    std::vector<kt57::HeadlessEvent> events;
    if (!options.eventsFile.empty()) {
        std::string text;
        std::string error;
        const kt57::FileReadResult read = kt57::readBoundedFile(options.eventsFile.c_str(), text, error);
        if (read != kt57::FileReadResult::Read) {
            if (read == kt57::FileReadResult::CannotOpen) error.clear();
            if (read == kt57::FileReadResult::TooLarge) error = "larger than 16 MiB";
            std::fprintf(stderr, "kt57-run: %s: cannot read the events file%s%s\n", options.eventsFile.c_str(),
                         error.empty() ? "" : ": ", error.c_str());
            return exitUsage;
        }
        if (!kt57::parseEvents(text, options.eventsFile, events, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return exitUsage;
        }
    }

    kt57::HeadlessRun run({options.directory, options.boardSerial});
    kt57::TraceWriter trace(stdout, run.clock());
    kt57::TracingDriver driver(run.board(), trace);
    kt57::TracingSurface surface(run.canvas(), trace);
    kt57::TracingObserver observer(trace, options.errorLines);
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
    for (const kt57::HeadlessEvent& event : events) run.post(event);

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
    trace.line(kt57::formatState(run.sequencer()));
    std::fflush(stdout);
    if (recording && !waves.close()) {
        std::fprintf(stderr, "kt57-run: %s: %s\n", options.vcdFile.c_str(), waves.error().c_str());
        return exitWaveform;
    }
    return 0;
}
