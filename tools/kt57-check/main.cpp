// kt57-check: loads a program file as the sequencer does and reports what may surprise its author.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_output.h"
#include "common/command_options.h"
#include "common/version_option.h"
#include "sequencer/loader.h"
#include "tools/common/bounded_file.h"
#include "tools/kt57-check/program_check.h"
#include "tools/kt57-check/store_dump.h"

namespace {

constexpr int exitClean = 0;
constexpr int exitFindings = 1;
constexpr int exitUnreadable = 2;

constexpr kt57::CommandOption checkOptions[] = {
    {"--dump", nullptr, "print the loaded program store instead of the findings", nullptr, nullptr},
};
constexpr kt57::CommandLine commandLine{
    "kt57-check", checkOptions, "[FILE]",
    "Loads FILE (default KT57Data.txt) as the sequencer does and reports each surprise as\n"
    "'FILE:LINE:COLUMN: warning: ...' (or error:). Exit status: 0 no findings, 1 findings,\n"
    "2 unreadable file or bad usage.\n"};

}  // namespace

int main(int argc, char** argv) {
    kt57::useByteOutput();
    if (kt57::printedVersion(argc, argv, "kt57-check")) return exitClean;
    bool dump = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (kt57::isHelpOption(argument)) {
            std::fputs(kt57::usageText(commandLine).c_str(), stdout);
            return exitClean;
        }
        if (kt57::findOption(commandLine, argument) != nullptr) {
            dump = true;  // the one option
        } else if (argument.size() > 1 && argument[0] == '-' && argument != "--") {
            std::fprintf(stderr, "kt57-check: unknown option '%s'\n%s", argv[i], kt57::usageLine(commandLine).c_str());
            return exitUnreadable;
        } else if (argument == "--" && i + 1 < argc && path == nullptr) {
            path = argv[++i];
        } else if (path == nullptr && argument != "--") {
            path = argv[i];
        } else {
            std::fprintf(stderr, "kt57-check: one file at most\n%s", kt57::usageLine(commandLine).c_str());
            return exitUnreadable;
        }
    }
    if (path == nullptr) path = kt57::programFileName;

    std::string bytes;
    std::string error;
    const kt57::FileReadResult read = kt57::readBoundedFile(path, bytes, error);
    if (read != kt57::FileReadResult::Read) {
        if (read == kt57::FileReadResult::TooLarge) error = "larger than 16 MiB, not a program file";
        std::fprintf(stderr, "kt57-check: cannot read %s: %s\n", path, error.c_str());
        return exitUnreadable;
    }

    if (dump) {
        auto store = std::make_unique<kt57::ProgramStore>();
        kt57::loadProgramBytes(*store, bytes.data(), bytes.size());
        std::fputs(kt57::dumpStore(*store).c_str(), stdout);
        return exitClean;
    }

    const std::vector<kt57::Finding> findings = kt57::checkProgram(bytes.data(), bytes.size());
    // The form compilers use, so that editors jump to each finding as they do to a compiler's.
    for (const kt57::Finding& finding : findings) std::fputs(kt57::formatFinding(path, finding).c_str(), stdout);
    // Standard output is buffered in a pipe: flushed now, the summary stays last when an editor
    // reads both streams as one.
    std::fflush(stdout);
    if (findings.empty()) {
        std::fprintf(stderr, "%s: no findings\n", path);
        return exitClean;
    }
    std::fprintf(stderr, "%s: %zu finding(s)\n", path, findings.size());
    return exitFindings;
}
