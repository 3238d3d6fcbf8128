// The command-line tools on input they cannot use: unreadable files, folders, binary bytes,
// endless files and bad arguments. Each must end by itself, with a message on standard error and
// a non-zero exit status, never by a signal. The tools run as child processes with a time limit
// (and, outside the sanitizer build, a memory limit), so a hang or a runaway read fails the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/support/scratch_files.h"

#if defined(__SANITIZE_ADDRESS__)
#define KT57_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KT57_SANITIZED 1
#endif
#endif

namespace kt57 {
namespace {

using support::ScratchDirectory;
using support::readFile;
using support::writeFile;

constexpr unsigned timeLimitSeconds = 30;
constexpr rlim_t memoryLimit = rlim_t{1} << 30;

struct Outcome {
    bool exited = false;
    int status = -1;  // the exit status, or the signal
    std::string errors;
};

Outcome runTool(const std::string& program, const std::vector<std::string>& arguments, const ScratchDirectory& scratch,
                unsigned seconds = timeLimitSeconds) {
    const std::string out = scratch.file("stdout.txt");
    const std::string err = scratch.file("stderr.txt");
    const pid_t child = fork();
    if (child == 0) {
        const int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errFile = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int nothing = open("/dev/null", O_RDONLY);
        if (outFile < 0 || errFile < 0 || nothing < 0) _exit(120);
        dup2(nothing, 0);
        dup2(outFile, 1);
        dup2(errFile, 2);
        alarm(seconds);  // survives exec: a tool that hangs is killed by SIGALRM
#ifndef KT57_SANITIZED
        const rlimit memory{memoryLimit, memoryLimit};
        setrlimit(RLIMIT_AS, &memory);
#endif
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(121);
    }
    int status = 0;
    waitpid(child, &status, 0);
    Outcome outcome;
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    outcome.errors = readFile(err);
    return outcome;
}

struct BadInput {
    const char* name;
    std::string program;
    std::vector<std::string> arguments;  // "@" stands for the scratch folder, "@/x" for a file in it
};

void PrintTo(const BadInput& input, std::ostream* out) { *out << input.name; }

class ToolInput : public ::testing::TestWithParam<BadInput> {
protected:
    void SetUp() override {
        std::mt19937 random(57);
        std::string binary;
        for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>(random() & 0xFF));
        writeFile(scratch.file("binary.dat"), binary);
        std::filesystem::create_directory(scratch.file("folder"));
        std::filesystem::create_directory(scratch.file("run"));
        writeFile(scratch.file("run/KT57Data.txt"), "WR000001\n");
    }
    std::vector<std::string> arguments() const {
        std::vector<std::string> out;
        for (const std::string& argument : GetParam().arguments) {
            out.push_back(argument[0] == '@' ? scratch.path() + argument.substr(1) : argument);
        }
        return out;
    }
    ScratchDirectory scratch;
};

// The sanitizers cannot run under a memory limit; a regression to an endless read would then
// take the machine, so endless inputs run only in the ordinary build.
bool skipEndless(const BadInput& input) {
#ifdef KT57_SANITIZED
    for (const std::string& argument : input.arguments) {
        if (argument == "/dev/zero") return true;
    }
#endif
    (void)input;
    return false;
}

TEST_P(ToolInput, EndsWithAMessageAndAFailureStatus) {
    if (skipEndless(GetParam())) GTEST_SKIP() << "endless input without a memory limit";
    const Outcome outcome = runTool(GetParam().program, arguments(), scratch);
    ASSERT_TRUE(outcome.exited) << "killed by signal " << outcome.status << "\n" << outcome.errors;
    EXPECT_NE(outcome.status, 0);
    EXPECT_LT(outcome.status, 120) << "the tool could not be started";
    EXPECT_FALSE(outcome.errors.empty());
    EXPECT_LT(outcome.errors.find('\n'), 400u) << "the first line of the message is not one clear line";
}

const std::string check = KT57_CHECK_PROGRAM;
const std::string run = KT57_RUN_PROGRAM;
const std::string board = KT57_BOARD_PROGRAM;

INSTANTIATE_TEST_SUITE_P(
    Check, ToolInput,
    ::testing::Values(BadInput{"MissingFile", check, {"@/missing/KT57Data.txt"}},
                      BadInput{"Folder", check, {"@/folder"}},
                      BadInput{"EndlessFile", check, {"/dev/zero"}},
                      BadInput{"BinaryFile", check, {"@/binary.dat"}},
                      BadInput{"UnknownOption", check, {"--bogus"}},
                      BadInput{"TwoFiles", check, {"@/binary.dat", "@/binary.dat"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Run, ToolInput,
    ::testing::Values(BadInput{"MissingDirectory", run, {"@/missing"}},
                      BadInput{"FileAsDirectory", run, {"@/binary.dat"}},
                      BadInput{"MissingEventsFile", run, {"--events", "@/missing.txt", "@/run"}},
                      BadInput{"BinaryEventsFile", run, {"--events", "@/binary.dat", "@/run"}},
                      BadInput{"EventsFileIsAFolder", run, {"--events", "@/folder", "@/run"}},
                      BadInput{"EndlessEventsFile", run, {"--events", "/dev/zero", "@/run"}},
                      BadInput{"EventsValueMissing", run, {"--events"}},
                      BadInput{"UntilNotANumber", run, {"--until", "soon", "@/run"}},
                      BadInput{"UntilTooLarge", run, {"--until", "99999999999999999999", "@/run"}},
                      BadInput{"EmptySerial", run, {"--board-serial", "", "@/run"}},
                      BadInput{"UnknownOption", run, {"--bogus", "@/run"}},
                      BadInput{"TwoDirectories", run, {"@/run", "@/run"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A FIFO (or device) in place of an input file: opening it to read would wait for a writer that
// never comes. Each tool must refuse it at once, naming it, with its usual error status.
struct FifoInput {
    const char* name;
    std::string program;
    std::vector<std::string> arguments;  // "@" stands for the scratch folder
    std::string fifo;                    // the FIFO, in the scratch folder
};

void PrintTo(const FifoInput& input, std::ostream* out) { *out << input.name; }

class ToolFifoInput : public ::testing::TestWithParam<FifoInput> {
protected:
    void SetUp() override {
        for (const char* folder : {"program", "mode"}) std::filesystem::create_directory(scratch.file(folder));
        writeFile(scratch.file("mode/KT57Data.txt"), "WR000001\n");
        ASSERT_EQ(mkfifo(scratch.file(GetParam().fifo).c_str(), 0600), 0);
    }
    ScratchDirectory scratch;
};

TEST_P(ToolFifoInput, IsRefusedWithinTwoSecondsByName) {
    std::vector<std::string> arguments;
    for (const std::string& argument : GetParam().arguments) {
        arguments.push_back(argument[0] == '@' ? scratch.path() + argument.substr(1) : argument);
    }
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = runTool(GetParam().program, arguments, scratch, 3);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(outcome.exited) << "killed by signal " << outcome.status << ": it waited on the FIFO";
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.errors.find(scratch.file(GetParam().fifo)), std::string::npos) << outcome.errors;
    EXPECT_NE(outcome.errors.find("not a regular file (a FIFO)"), std::string::npos) << outcome.errors;
    EXPECT_EQ(outcome.errors.find('\n'), outcome.errors.size() - 1) << "not one line: " << outcome.errors;
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ToolFifoInput,
    ::testing::Values(FifoInput{"CheckProgram", check, {"@/fifo"}, "fifo"},
                      FifoInput{"CheckDumpProgram", check, {"--dump", "@/fifo"}, "fifo"},
                      FifoInput{"RunProgram", run, {"@/program"}, "program/KT57Data.txt"},
                      FifoInput{"RunModeFile", run, {"@/mode"}, "mode/KT57Mode.txt"},
                      FifoInput{"RunEventsFile", run, {"--events", "@/fifo", "@/mode"}, "fifo"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Board, ToolInput,
    ::testing::Values(BadInput{"ShortSerial", board, {"--serial", "ab"}},
                      BadInput{"LongSerial", board, {"--serial", "VB0000012"}},
                      BadInput{"LowerCaseSerial", board, {"--serial", "vb000001"}},
                      BadInput{"SerialValueMissing", board, {"--serial"}},
                      BadInput{"LatencyNotANumber", board, {"--latency", "x"}},
                      BadInput{"LatencyNegative", board, {"--latency", "-1"}},
                      BadInput{"LatencyTooLarge", board, {"--latency", "99999999999999999999"}},
                      BadInput{"UnknownArgument", board, {"extra"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kt57
