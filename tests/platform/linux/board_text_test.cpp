// The board's text interfaces by value: udev names, options, registry. (Control lines and escapes
// are the device's: tests/device/board_control_test.cpp.)
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
            EXPECT_EQ(isVirtualSerialNumber(c.value), taken);
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

    BoardRegistration read;
    EXPECT_TRUE(readRegistration(directory.c_str(), "VB000001", read));
    EXPECT_STREQ(read.devicePath, "/dev/null");
    EXPECT_EQ(read.ownerPid, getpid());
    for (const char* absent : {"VB000002", "VB000003", "VB000004", "VB000005", "VB000006"}) {
        EXPECT_FALSE(readRegistration(directory.c_str(), absent, read)) << absent;
    }
    // A live entry of another process keeps its serial number; a stale one is replaced.
    BoardRegistration rival = live;
    rival.ownerPid = getppid();
    EXPECT_FALSE(writeRegistration(directory.c_str(), "VB000001", rival));
    EXPECT_TRUE(writeRegistration(directory.c_str(), "VB000002", rival));
    EXPECT_TRUE(readRegistration(directory.c_str(), "VB000002", read));
    EXPECT_EQ(read.ownerPid, getppid());
    // Only the owner removes its entry.
    removeRegistration(directory.c_str(), "VB000001", getpid() + 1);
    EXPECT_TRUE(readRegistration(directory.c_str(), "VB000001", read));
    removeRegistration(directory.c_str(), "VB000001", getpid());
    EXPECT_FALSE(readRegistration(directory.c_str(), "VB000001", read));
}

TEST(BoardRegistry, ARegistryOthersMayWriteToIsNotTrusted) {
    test::BoardSandbox sandbox;
    const std::string directory = sandbox.registryDirectory();
    ASSERT_TRUE(createRegistryDirectory(directory.c_str()));
    BoardRegistration live;
    std::snprintf(live.devicePath, sizeof live.devicePath, "/dev/null");
    live.ownerPid = getpid();
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
