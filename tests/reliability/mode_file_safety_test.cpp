// Writing KT57Mode.txt never loses the previous file: a write that fails (read-only folder, full
// disk, a name that cannot be replaced) leaves it as it was, and a process killed at any moment of
// the write leaves either the old or the new file, whole. Each write that can fail or be killed
// runs in a child process, so that privileges, file-size limits and kills stay out of the suite.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/posix_files.h"
#include "shell/mode_file.h"
#include "tests/support/scratch_files.h"

namespace kt57 {
namespace {

using support::ScratchDirectory;
using support::readFile;
using support::writeFile;

constexpr uid_t nobody = 65534;
const std::string oldContent = "SD\nOLD00001\n";

struct Saved {
    RunControl run;
    ShellState shell;
    DeviceLink link;
    std::string expected;  // the file's bytes once written
};

// The state the end-program command writes: mode, detail flag, the serial number of the open board.
Saved savedState(char mode, int detail, const char* serial) {
    Saved saved;
    saved.run.savedMode = static_cast<RunMode>(mode);
    saved.shell.savedDetail = detail;
    saved.link.linkState = LinkState::Open;
    std::snprintf(saved.link.serialNumber, sizeof saved.link.serialNumber, "%s", serial);
    saved.expected = std::string(1, mode) + (detail == 1 && mode != 'S' ? "D" : "") + "\n" + serial + "\n";
    return saved;
}

void write(const std::string& directory, const Saved& saved) {
    PosixFiles files;
    writeModeFile(directory.c_str(), files, saved.run, saved.shell, saved.link, noObserver());
}

// Runs body in a child process and returns its wait status.
int inChild(const std::function<void()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// Root writes anywhere: the child gives up its privileges first, as an ordinary user has none.
void becomeUnprivileged() {
    if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(3);
}

class ModeFileSafety : public ::testing::Test {
protected:
    void SetUp() override { writeFile(folder.file(modeFileName), oldContent); }
    std::string target() const { return folder.file(modeFileName); }
    std::string temporary() const { return target() + ".new"; }

    ScratchDirectory folder;
    PosixFiles files;
    Saved fresh = savedState('M', 1, "AB123456");
};

TEST_F(ModeFileSafety, AWriteThatSucceedsReplacesTheFileWhole) {
    write(folder.path(), fresh);
    EXPECT_EQ(readFile(target()), fresh.expected);
    EXPECT_FALSE(std::filesystem::exists(temporary()));
}

TEST_F(ModeFileSafety, AReadOnlyFolderKeepsThePreviousFile) {
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                                    std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
                                                    std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    const int status = inChild([&] {
        becomeUnprivileged();
        write(folder.path(), fresh);
    });
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(target()), oldContent);
    EXPECT_FALSE(std::filesystem::exists(temporary()));
}

TEST_F(ModeFileSafety, AFullDiskKeepsThePreviousFile) {
    // The file-size limit stands in for a full disk: writes past it fail with EFBIG.
    for (rlim_t room : {rlim_t{0}, rlim_t{3}, rlim_t{fresh.expected.size() - 1}}) {
        const int status = inChild([&] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{room, room};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
            write(folder.path(), fresh);
        });
        ASSERT_TRUE(WIFEXITED(status)) << "room " << room;
        ASSERT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(readFile(target()), oldContent) << "room " << room;
        EXPECT_FALSE(std::filesystem::exists(temporary())) << "room " << room;
    }
}

TEST_F(ModeFileSafety, NamesThatCannotBeReplacedKeepWhatIsThere) {
    // KT57Mode.txt a folder: the new file cannot take its place, and is not left lying about.
    std::filesystem::remove(target());
    std::filesystem::create_directory(target());
    write(folder.path(), fresh);
    EXPECT_TRUE(std::filesystem::is_directory(target()));
    EXPECT_FALSE(std::filesystem::exists(temporary()));

    // The temporary name taken by a folder: nothing can be written, the old file stays.
    std::filesystem::remove(target());
    writeFile(target(), oldContent);
    std::filesystem::create_directory(temporary());
    write(folder.path(), fresh);
    EXPECT_EQ(readFile(target()), oldContent);
}

TEST_F(ModeFileSafety, AProcessKilledWhileWritingLeavesTheOldFile) {
    // The size limit's signal kills the writer after each possible number of bytes.
    for (rlim_t room = 0; room < fresh.expected.size(); ++room) {
        const int status = inChild([&] {
            const rlimit limit{room, room};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
            write(folder.path(), fresh);
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << "room " << room;
        EXPECT_EQ(readFile(target()), oldContent) << "room " << room;
    }
    // What the killed writer left behind does not stop the next write.
    write(folder.path(), fresh);
    EXPECT_EQ(readFile(target()), fresh.expected);
    EXPECT_FALSE(std::filesystem::exists(temporary()));
}

TEST_F(ModeFileSafety, AProcessKilledAtAnyMomentLeavesOneWholeFile) {
    // A writer alternating two contents is killed after a random amount of work of its own; the
    // file is then one of the two, never a mixture or a truncated one.
    const Saved other = savedState('A', 0, "VB000001");
    write(folder.path(), other);
    std::mt19937 random(57);
    for (int round = 0; round < 150; ++round) {
        const pid_t child = fork();
        if (child == 0) {
            for (long i = 0;; ++i) write(folder.path(), i % 2 == 0 ? fresh : other);
        }
        // Yielding, not sleeping: the writer gets a random share of the processor.
        const long yields = std::uniform_int_distribution<long>(0, 3000)(random);
        for (long i = 0; i < yields; ++i) sched_yield();
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const std::string content = readFile(target());
        ASSERT_TRUE(content == fresh.expected || content == other.expected) << "round " << round << ": '" << content << "'";
    }

    // And start-up reads it as one of the two states.
    RunControl run;
    ConsoleState console;
    ShellState shell;
    DeviceLink link;
    readModeFile(folder.path().c_str(), files, run, console, shell, link);
    EXPECT_TRUE(run.runMode == RunMode::Manual || run.runMode == RunMode::Automatic);
    EXPECT_EQ(std::string(link.serialNumber), run.runMode == RunMode::Manual ? "AB123456" : "VB000001");
}

// What reaches the disk, in order, as the kernel sees it: kt57-run's end-program command writes the
// mode file through the POSIX file service under strace, which names each descriptor's file (-y).
TEST_F(ModeFileSafety, TheNewFileIsSyncedBeforeTheRenameAndTheFolderAfterIt) {
    if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace missing or not allowed";
    std::filesystem::remove(target());  // else its serial number names a board that is not there
    writeFile(folder.file("KT57Data.txt"), "W0000001\nSLP 10\n");
    writeFile(folder.file("events.txt"), "1025 menu 40001\n");
    const std::string trace = folder.file("strace.txt");
    // LeakSanitizer cannot run under ptrace: in the sanitizer build the traced tool skips it.
    const std::string command = "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" timeout 60 strace -f -y -e trace=fsync,fdatasync,rename,renameat,renameat2 -o '" +
                                trace + "' '" KT57_RUN_PROGRAM "' --events '" + folder.file("events.txt") + "' '" +
                                folder.path() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_EQ(readFile(target()), "A\nVB000001\n");

    const std::string canonical = std::filesystem::canonical(folder.path()).string();
    std::vector<std::string> calls;
    std::istringstream lines(readFile(trace));
    for (std::string line; std::getline(lines, line);) calls.push_back(line);
    auto first = [&](size_t from, const std::string& call, const std::string& argument) {
        for (size_t i = from; i < calls.size(); ++i) {
            if (calls[i].find(call) != std::string::npos && calls[i].find(argument) != std::string::npos) return i;
        }
        return calls.size();
    };
    const size_t fileSynced = first(0, "sync(", "<" + canonical + "/KT57Mode.txt.new>");
    const size_t renamed = first(0, "rename", "KT57Mode.txt.new\", \"" + folder.path() + "/KT57Mode.txt\"");
    const size_t folderSynced = first(renamed, "sync(", "<" + canonical + ">");
    const std::string all = readFile(trace);
    ASSERT_LT(renamed, calls.size()) << all;
    EXPECT_LT(fileSynced, renamed) << all;
    EXPECT_LT(folderSynced, calls.size()) << all;
}

TEST_F(ModeFileSafety, UnreadableModeFilesKeepTheDefaults) {
    // A folder in its place, and a file the user may not read: start-up goes on with the defaults.
    std::filesystem::remove(target());
    std::filesystem::create_directory(target());
    RunControl run;
    ConsoleState console;
    ShellState shell;
    DeviceLink link;
    readModeFile(folder.path().c_str(), files, run, console, shell, link);
    EXPECT_EQ(run.runMode, RunMode::Automatic);
    EXPECT_EQ(console.detailView, 0);
    EXPECT_EQ(link.serialNumber[0], '\0');

    std::filesystem::remove(target());
    writeFile(target(), "MD\nAB123456\n");
    std::filesystem::permissions(target(), std::filesystem::perms::none);
    const int status = inChild([&] {
        becomeUnprivileged();
        RunControl childRun;
        ConsoleState childConsole;
        ShellState childShell;
        DeviceLink childLink;
        readModeFile(folder.path().c_str(), files, childRun, childConsole, childShell, childLink);
        _exit(childRun.runMode == RunMode::Automatic && childConsole.detailView == 0 && childLink.serialNumber[0] == '\0' ? 0 : 1);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace kt57
