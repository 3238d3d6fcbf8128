// The board's text interfaces by value: udev names, options, registry. (Control lines and escapes
// are the device's: tests/device/board_control_test.cpp.)
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "board/board_control.h"
#include "platform/linux/board_listing.h"
#include "platform/linux/board_registry.h"
#include "tests/support/served_board.h"
#include "tools/kt57-board/board_options.h"

namespace kt57 {
namespace {

TEST(ByIdName, SerialIsTheLastFieldBeforeTheFirstInterface) {
    struct Case {
        const char* name;
        const char* serial;  // nullptr: not a board
    } cases[] = {
        {"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "A50285BI"},
        {"usb-Maker_Board_KT0001-if00", "KT0001"},
        {"usb-FTDI_Dual_RS232-HS_FT2XYZ-if01-port0", nullptr},
        {"usb-FTDI_FT232R_USB_UART_A50285BI", nullptr},
        {"usb-NOSERIAL-if00-port0", nullptr},
        {"usb-FTDI_-if00-port0", nullptr},
        {"pci-0000:00:16.3-serial", nullptr},
        {"usb-FTDI_FT232R_0123456789ABCDEF-if00-port0", nullptr},  // 16 characters do not fit
        {"usb-FTDI_FT232R_USB_UART_A50285BI-if001", nullptr},
    };
    for (const Case& c : cases) {
        char serial[boardSerialCapacity] = {};
        const bool found = serialFromByIdName(c.name, serial, sizeof serial);
        EXPECT_EQ(found, c.serial != nullptr) << c.name;
        if (found && c.serial != nullptr) {
            EXPECT_STREQ(serial, c.serial) << c.name;
        }
    }
}

TEST(BoardCommandLine, AcceptsTheThreeOptionsAndRejectsEverythingElse) {
    struct Case {
        std::vector<const char*> arguments;
        bool accepted;
        const char* serial;
        int latency;
        bool headless;
    } cases[] = {
        {{}, true, "VB000001", 1, false},
        {{"--serial", "AB12:@Z0", "--latency", "0", "--headless"}, true, "AB12:@Z0", 0, true},
        {{"--serial=VB000009", "--latency=250"}, true, "VB000009", 250, false},
        {{"--serial", "VB00001", "--latency", "1000000000"}, true, "VB00001", 1000000000, false},
        {{"--serial", "vb000001"}, false, "", 0, false},
        {{"--serial", "VB0000011"}, false, "", 0, false},
        {{"--serial"}, false, "", 0, false},
        {{"--latency", "-1"}, false, "", 0, false},
        {{"--latency", "1000000001"}, false, "", 0, false},
        {{"--latency", "5ms"}, false, "", 0, false},
        {{"--headless=1"}, false, "", 0, false},
        {{"--serialVB000001"}, false, "", 0, false},
        {{"extra"}, false, "", 0, false},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv {"kt57-board"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        BoardOptions options;
        char error[256] = "";
        const bool accepted = parseBoardOptions(static_cast<int>(argv.size()), argv.data(), options, error, sizeof error);
        const std::string shown = argv.size() > 1 ? argv[1] : "(none)";
        EXPECT_EQ(accepted, c.accepted) << shown;
        if (!accepted) {
            EXPECT_STRNE(error, "") << shown;
            continue;
        }
        EXPECT_STREQ(options.serialNumber, c.serial);
        EXPECT_EQ(options.latencyMilliseconds, c.latency);
        EXPECT_EQ(options.headless, c.headless);
    }
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A stand-in for /proc that holds only the stat files a test writes.
struct FakeProcesses {
    std::string directory;
    void run(long pid, const std::string& stat) const {
        std::filesystem::create_directories(directory + "/" + std::to_string(pid));
        writeText(directory + "/" + std::to_string(pid) + "/stat", stat);
    }
};

// A stat line as the kernel writes it. Fields 4 to 21 carry their own numbers, so a parser that
// counts from the wrong place reads one of them instead of the start time.
std::string statLine(long pid, const std::string& command, char state, const std::string& startTime) {
    std::string line = std::to_string(pid) + " (" + command + ") " + state;
    for (int field = 4; field <= 21; ++field) line += " " + std::to_string(field);
    return line + " " + startTime + " 23 24\n";
}

TEST(ProcessStartTime, IsField22CountedFromTheLastParenthesis) {
    test::BoardSandbox sandbox;
    const FakeProcesses processes {sandbox.runtimeDirectory() + "/proc"};
    constexpr long pid = 4242;
    struct Case {
        std::string stat;
        bool runs;
        unsigned long long startTime;
    } cases[] = {
        {statLine(pid, "kt57-board", 'S', "1000"), true, 1000},
        {statLine(pid, "kt57-board", 'R', "18446744073709551615"), true, 18446744073709551615ull},
        {statLine(pid, "Web Content", 'S', "1000"), true, 1000},
        {statLine(pid, "a) b (c", 'S', "1000"), true, 1000},
        {statLine(pid, ") Z 4 5 6", 'D', "1000"), true, 1000},
        {statLine(pid, "((", 'I', "0"), true, 0},
        {statLine(pid, "kt57-board", 'Z', "1000"), false, 0},  // ended, not yet reaped
        {statLine(pid, "kt57-board", 'X', "1000"), false, 0},
        {statLine(pid + 1, "kt57-board", 'S', "1000"), false, 0},  // another process's file
        {statLine(pid, "kt57-board", 'S', "-1000"), false, 0},
        {statLine(pid, "kt57-board", 'S', "+1000"), false, 0},
        {statLine(pid, "kt57-board", 'S', "1000x"), false, 0},
        {statLine(pid, "kt57-board", 'S', "18446744073709551616"), false, 0},
        {statLine(pid, "kt57-board", 'S', ""), false, 0},
        {"4242 (kt57-board) S 4 5 6 7 8\n", false, 0},
        {"4242 kt57-board S 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 1000 23\n", false, 0},
        {"4242 (kt57-board)\n", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        processes.run(pid, c.stat);
        unsigned long long startTime = 7;
        const bool runs = processStartTime(pid, startTime, processes.directory.c_str());
        EXPECT_EQ(runs, c.runs) << c.stat;
        if (runs && c.runs) {
            EXPECT_EQ(startTime, c.startTime) << c.stat;
        }
    }
    unsigned long long startTime = 0;
    for (const long absent : {0L, -1L, 4243L}) {
        EXPECT_FALSE(processStartTime(absent, startTime, processes.directory.c_str())) << absent;
    }
}

TEST(ProcessStartTime, OnlyARunningProcessHasOne) {
    unsigned long long ours = 0;
    ASSERT_TRUE(processStartTime(getpid(), ours));
    const pid_t child = fork();
    if (child == 0) _exit(0);
    siginfo_t info {};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);  // a zombie now
    unsigned long long startTime = 0;
    EXPECT_FALSE(processStartTime(child, startTime));
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(processStartTime(child, startTime));
    // The start time is the process's own, not the moment of asking.
    unsigned long long again = 0;
    ASSERT_TRUE(processStartTime(getpid(), again));
    EXPECT_EQ(again, ours);
}

// After kill -9 a board leaves its entry behind, and its pid may go to any later process.
TEST(BoardRegistry, AProcessThatReusesTheOwnersPidIsNotTheOwner) {
    test::BoardSandbox sandbox;
    const std::string directory = sandbox.registryDirectory();
    ASSERT_TRUE(createRegistryDirectory(directory.c_str()));
    const FakeProcesses processes {sandbox.runtimeDirectory() + "/proc"};
    const char* proc = processes.directory.c_str();
    constexpr long pid = 4242;
    processes.run(pid, statLine(pid, "kt57-board", 'S', "1000"));
    BoardRegistration board;
    std::snprintf(board.devicePath, sizeof board.devicePath, "/dev/null");
    board.ownerPid = pid;
    board.ownerStartTime = 1000;
    ASSERT_TRUE(writeRegistration(directory.c_str(), "VB000001", board, proc));
    BoardRegistration read;
    EXPECT_TRUE(readRegistration(directory.c_str(), "VB000001", read, proc));

    processes.run(pid, statLine(pid, "sleep", 'S', "5000"));
    EXPECT_FALSE(readRegistration(directory.c_str(), "VB000001", read, proc));
    // The process that holds the pid now is another owner: it may take the serial number, and then
    // holds it against an entry naming the same pid with the old start time.
    BoardRegistration successor = board;
    successor.ownerStartTime = 5000;
    EXPECT_TRUE(writeRegistration(directory.c_str(), "VB000001", successor, proc));
    EXPECT_TRUE(readRegistration(directory.c_str(), "VB000001", read, proc));
    EXPECT_EQ(read.ownerStartTime, 5000u);
    EXPECT_FALSE(writeRegistration(directory.c_str(), "VB000001", board, proc));
    removeRegistration(directory.c_str(), "VB000001", pid, 1000);
    EXPECT_TRUE(readRegistration(directory.c_str(), "VB000001", read, proc));
}


// A value --serial or --latency refuses, the control line refuses too, for the same reason in the
// same words; and a serial number they take is one the registry takes as a file name.
TEST(BoardCommandLine, TakesAndRefusesWhatTheControlLineDoes) {
    const struct {
        const char* option;
        const char* control;
        const char* value;
    } cases[] = {
        {"--serial", "serial", "VB000001"}, {"--serial", "serial", "Z"},         {"--serial", "serial", "AB12:@Z0"},
        {"--serial", "serial", "vb000001"}, {"--serial", "serial", "VB0000011"}, {"--serial", "serial", "../AB"},
        {"--serial", "serial", "AB.1.tmp"}, {"--serial", "serial", "AB[1]"},     {"--serial", "serial", "AB\x7F"},
        {"--latency", "latency", "0"},      {"--latency", "latency", "99999"},   {"--latency", "latency", "1000000000"},
        {"--latency", "latency", "1000000001"}, {"--latency", "latency", "+5"}, {"--latency", "latency", "5ms"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.value);
        const char* argv[] = {"kt57-board", c.option, c.value};
        BoardOptions options;
        char error[256] = "";
        const bool taken = parseBoardOptions(3, argv, options, error, sizeof error);
        const std::string line = std::string(c.control) + " " + c.value;  // the refusal points into it
        const BoardControl control = parseBoardControl(line.c_str(), BoardControlFace::Console);
        EXPECT_EQ(taken, control.kind != BoardControlKind::Invalid);
        if (std::string(c.option) == "--serial") {
            EXPECT_EQ(isSerialNumber(c.value), taken);
        }
        if (taken) continue;
        char reason[256];
        describeBoardControlError(control, reason, sizeof reason);
        const std::string optionSays = error;
        const std::string controlSays = reason;
        EXPECT_EQ(optionSays, "bad " + std::string(c.option) + " '" + c.value + "'" +
                                  controlSays.substr(controlSays.find("': ") + 1));
        EXPECT_EQ(controlSays.rfind("bad " + std::string(c.control) + " '", 0), 0u) << controlSays;
    }
}

TEST(BoardRegistry, StaleAndMalformedEntriesCountAsAbsent) {
    test::BoardSandbox sandbox;
    const std::string directory = sandbox.registryDirectory();
    ASSERT_TRUE(createRegistryDirectory(directory.c_str()));
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);  // a pid that belonged to a process now gone

    BoardRegistration live;
    std::snprintf(live.devicePath, sizeof live.devicePath, "/dev/null");
    live.ownerPid = getpid();
    ASSERT_TRUE(processStartTime(live.ownerPid, live.ownerStartTime));
    BoardRegistration dead = live;
    dead.ownerPid = child;
    BoardRegistration gone = live;
    std::snprintf(gone.devicePath, sizeof gone.devicePath, "/dev/pts/no-such-terminal");
    ASSERT_TRUE(writeRegistration(directory.c_str(), "VB000001", live));
    ASSERT_TRUE(writeRegistration(directory.c_str(), "VB000002", dead));
    ASSERT_TRUE(writeRegistration(directory.c_str(), "VB000003", gone));
    EXPECT_FALSE(writeRegistration(directory.c_str(), "../evil", live));
    FILE* junk = std::fopen((directory + "/VB000004").c_str(), "w");
    std::fputs("/dev/null\nnot-a-pid\n", junk);
    std::fclose(junk);
    ASSERT_EQ(mkfifo((directory + "/VB000006").c_str(), 0600), 0);  // reading it would wait for a writer
    // This live pid with another start time: what a process that reused a dead board's pid looks like.
    BoardRegistration reused = live;
    reused.ownerStartTime = live.ownerStartTime + 1;
    ASSERT_TRUE(writeRegistration(directory.c_str(), "VB000007", reused));
    const std::string ourPid = std::to_string(getpid());
    const std::string ourStart = std::to_string(live.ownerStartTime);
    writeText(directory + "/VB000008", "/dev/null\n" + ourPid + "\n");  // the earlier form, without a start time
    writeText(directory + "/VB000009", "/dev/null\n" + ourPid + "\n" + ourStart + "\nmore\n");
    writeText(directory + "/VB00000A", "/dev/null\n" + ourPid + "\n" + ourStart);
    writeText(directory + "/VB00000B", "/dev/null\n" + ourPid + "\n+" + ourStart + "\n");
    writeText(directory + "/VB00000C", "/dev/null\n-1\n" + ourStart + "\n");

    BoardRegistration read;
    EXPECT_TRUE(readRegistration(directory.c_str(), "VB000001", read));
    EXPECT_STREQ(read.devicePath, "/dev/null");
    EXPECT_EQ(read.ownerPid, getpid());
    EXPECT_EQ(read.ownerStartTime, live.ownerStartTime);
    for (const char* absent : {"VB000002", "VB000003", "VB000004", "VB000005", "VB000006", "VB000007", "VB000008",
                               "VB000009", "VB00000A", "VB00000B", "VB00000C"}) {
        EXPECT_FALSE(readRegistration(directory.c_str(), absent, read)) << absent;
    }
    // A live entry of another process keeps its serial number; a stale one is replaced.
    BoardRegistration rival = live;
    rival.ownerPid = getppid();
    ASSERT_TRUE(processStartTime(rival.ownerPid, rival.ownerStartTime));
    EXPECT_FALSE(writeRegistration(directory.c_str(), "VB000001", rival));
    EXPECT_TRUE(writeRegistration(directory.c_str(), "VB000002", rival));
    EXPECT_TRUE(readRegistration(directory.c_str(), "VB000002", read));
    EXPECT_EQ(read.ownerPid, getppid());
    EXPECT_TRUE(writeRegistration(directory.c_str(), "VB000008", live));  // the earlier form proves no owner
    // Only the owner, by pid and start time, removes its entry.
    removeRegistration(directory.c_str(), "VB000001", getpid() + 1, live.ownerStartTime);
    removeRegistration(directory.c_str(), "VB000001", getpid(), live.ownerStartTime + 1);
    EXPECT_TRUE(readRegistration(directory.c_str(), "VB000001", read));
    removeRegistration(directory.c_str(), "VB000001", getpid(), live.ownerStartTime);
    EXPECT_FALSE(readRegistration(directory.c_str(), "VB000001", read));
}

TEST(BoardRegistry, ARegistryOthersMayWriteToIsNotTrusted) {
    test::BoardSandbox sandbox;
    const std::string directory = sandbox.registryDirectory();
    ASSERT_TRUE(createRegistryDirectory(directory.c_str()));
    BoardRegistration live;
    std::snprintf(live.devicePath, sizeof live.devicePath, "/dev/null");
    live.ownerPid = getpid();
    ASSERT_TRUE(processStartTime(live.ownerPid, live.ownerStartTime));
    ASSERT_TRUE(writeRegistration(directory.c_str(), "VB000001", live));
    BoardListing listing;
    listBoards(sandbox.locations(), listing);
    EXPECT_EQ(listing.count, 1);
    ASSERT_EQ(chmod(directory.c_str(), 0777), 0);
    listBoards(sandbox.locations(), listing);
    EXPECT_EQ(listing.count, 0);
    EXPECT_FALSE(createRegistryDirectory(directory.c_str()));
}

TEST(BoardRegistry, LivesUnderTheRuntimeDirectoryOrAPerUserTemporaryOne) {
    char directory[boardPathCapacity];
    setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    ASSERT_TRUE(registryDirectoryFromEnvironment(directory, sizeof directory));
    EXPECT_STREQ(directory, "/run/user/1000/kt57d/boards");
    const std::string perUser = "/tmp/kt57d-" + std::to_string(getuid()) + "/boards";
    for (const char* unusable : {"", "relative/dir"}) {
        setenv("XDG_RUNTIME_DIR", unusable, 1);
        ASSERT_TRUE(registryDirectoryFromEnvironment(directory, sizeof directory));
        EXPECT_EQ(std::string(directory), perUser) << unusable;
    }
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(registryDirectoryFromEnvironment(directory, sizeof directory));
    EXPECT_EQ(std::string(directory), perUser);
    EXPECT_FALSE(registryDirectoryFromEnvironment(directory, 10));
}

}  // namespace
}  // namespace kt57
