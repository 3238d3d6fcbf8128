// The link driven against the virtual board, through a recording driver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/text_context.h"
#include "device/device_link.h"
#include "device/virtual_board.h"
#include "device_test_doubles.h"

namespace kt57 {
namespace {

using test::RecordingDriver;

const unsigned char* bytesOf(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

class LinkTest : public testing::Test {
protected:
    void SetUp() override {
        link.driver = &driver;
        link.wait = &wait;
        console.surface = &surface;
        openTextContext(console, 0);
        console.detailView = 1;
    }

    void open() {
        link.linkState = openLink(link);
        ASSERT_EQ(link.linkState, 1);
    }

    std::string rememberSerial(const char* serial) {
        std::strcpy(link.serialNumber, serial);
        return serial;
    }

    test::TestClock clock;
    VirtualBoard board{clock};
    RecordingDriver driver{board};
    test::RecordingWait wait;
    test::RecordingSurface surface;
    DeviceLink link;
    MachineState machine;
    RunControl run;
    ConsoleState console;
};

// ---- openLink

TEST_F(LinkTest, LearnsSerialFromListingAndConfiguresTheBoard) {
    open();
    EXPECT_STREQ(link.serialNumber, "VB000001");
    EXPECT_EQ(driver.countListings, 1);
    EXPECT_EQ(driver.indexListings, 1);
    EXPECT_EQ(driver.openedSerial, "VB000001");
    const unsigned char expectedChars[4] = {0x0D, 1, 0, 0};
    EXPECT_EQ(0, std::memcmp(driver.setCharsArguments, expectedChars, 4));
    EXPECT_EQ(driver.timeouts[0], 100u);
    EXPECT_EQ(driver.timeouts[1], 100u);
}

TEST_F(LinkTest, RememberedSerialOpensWithoutListing) {
    rememberSerial("VB000001");
    open();
    EXPECT_EQ(driver.countListings + driver.indexListings, 0);
}

TEST_F(LinkTest, AbsentRememberedBoardFailsEvenWithAnotherAttached) {
    rememberSerial("OTHER001");
    for (int attempt = 0; attempt < 3; ++attempt) EXPECT_EQ(openLink(link), 0);
    EXPECT_EQ(driver.countListings + driver.indexListings, 0);
    EXPECT_STREQ(link.serialNumber, "OTHER001");
}

TEST_F(LinkTest, NoDeviceLeavesSerialEmptyAndOpensNothing) {
    board.unplug();
    EXPECT_EQ(openLink(link), 0);
    EXPECT_EQ(link.serialNumber[0], '\0');
    EXPECT_EQ(driver.indexListings, 0);
    EXPECT_EQ(driver.opens, 0);
}

TEST_F(LinkTest, FailedIndexListingLeavesSerialEmpty) {
    driver.indexListingFails = true;
    EXPECT_EQ(openLink(link), 0);
    EXPECT_EQ(link.serialNumber[0], '\0');
    EXPECT_EQ(driver.opens, 0);
}

TEST_F(LinkTest, SerialLearnedBeforeAFailedOpenIsKeptAndNeverListedAgain) {
    board.faults.openFails = true;
    EXPECT_EQ(openLink(link), 0);
    EXPECT_STREQ(link.serialNumber, "VB000001");
    EXPECT_EQ(openLink(link), 0);
    board.faults.openFails = false;
    open();
    EXPECT_EQ(driver.countListings, 1);
    EXPECT_EQ(driver.indexListings, 1);
}

TEST_F(LinkTest, ConfigurationFailuresAreIgnored) {
    driver.configurationFails = true;
    EXPECT_EQ(openLink(link), 1);
}

// A driver may list a serial number longer than the link's 16-byte buffer, or one that fills its
// whole listing buffer without a NUL. The link keeps at most 15 bytes and writes nothing beyond.
TEST_F(LinkTest, LongListedSerialIsCutToFifteenBytes) {
    const std::string full(listedSerialCapacity, 'S');
    const std::string longSerial = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    struct Case {
        std::string listed;  // bytes written by the driver
        bool terminated;
        std::string expected;
    } cases[] = {
        {"ABCDEFGHIJKLMNO", true, "ABCDEFGHIJKLMNO"},
        {"ABCDEFGHIJKLMNOP", true, "ABCDEFGHIJKLMNO"},
        {longSerial, true, "ABCDEFGHIJKLMNO"},
        {full.substr(0, listedSerialCapacity - 1), true, std::string(15, 'S')},
        {full, false, std::string(15, 'S')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listed);
        DeviceLink fresh;
        fresh.driver = &driver;
        fresh.wait = &wait;
        driver.listedBytes = c.listed.c_str();
        driver.listedLength = c.listed.size() + (c.terminated ? 1 : 0);
        EXPECT_EQ(openLink(fresh), 0);  // the board's own serial differs
        EXPECT_EQ(std::string(fresh.serialNumber), c.expected);
        EXPECT_EQ(driver.openedSerial, c.expected);
        EXPECT_EQ(fresh.driver, &driver);  // the field after the buffer is intact
        EXPECT_EQ(fresh.wait, &wait);
    }
}

// ---- releaseLink

TEST_F(LinkTest, ReleaseClosesOnceAndWaitsTwentyMilliseconds) {
    open();
    run.connectFailures = 7;
    releaseLink(link, run);
    EXPECT_EQ(link.linkState, 0);
    EXPECT_EQ(run.connectFailures, 0);
    EXPECT_EQ(driver.closes, 1);
    EXPECT_EQ(wait.waits, std::vector<int>{20});

    run.connectFailures = 5;
    releaseLink(link, run);
    EXPECT_EQ(driver.closes, 1);
    EXPECT_EQ(wait.waits.size(), 1u);
    EXPECT_EQ(run.connectFailures, 5);
}

TEST_F(LinkTest, ReleaseWithoutBoardAtStartUpDoesNothing) {
    link.linkState = -1;
    run.connectFailures = 3;
    releaseLink(link, run);
    EXPECT_EQ(link.linkState, -1);
    EXPECT_EQ(run.connectFailures, 3);
    EXPECT_EQ(driver.closes, 0);
    EXPECT_TRUE(wait.waits.empty());
}

// ---- sendCommand

TEST_F(LinkTest, CommandFrames) {
    struct Case {
        const char* text;
        int32_t output;
        const char* frame;
    } cases[] = {
        {"W0@xxxxxABC", 0, "W0000000\r"},
        {"W0@xxxxx   ", 0xABCDEF, "W0abcdef\r"},
        {"Wz@@@@@@   ", 0x00000F, "Wz00000f\r"},
        {"W@1234567  ", 0x123456, "W@123456\r"},
        {"R0A@cdeXYZ ", 0x123456, "R0A@cdeX\r"},
        {"R0000000XYZ", 0, "R0000000\r"},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        machine.outputRegister = c.output;
        surface.drawn.clear();
        EXPECT_EQ(sendCommand(link, machine, console, c.text), 9);
        EXPECT_EQ(driver.lastWrite, c.frame);
        ASSERT_EQ(surface.drawn.size(), 1u);
        EXPECT_EQ(surface.drawn[0].x, 205);
        EXPECT_EQ(surface.drawn[0].y, 70);
        EXPECT_EQ(surface.drawn[0].bytes, c.frame);
    }
}

TEST_F(LinkTest, FrameIsDrawnOnlyInDetailView) {
    open();
    console.detailView = 0;
    EXPECT_EQ(sendCommand(link, machine, console, "R0000000   "), 9);
    board.inject(bytesOf("R0000000\r"), 9);
    unsigned char reply[9];
    EXPECT_EQ(pollReply(link, console, reply), 9);
    EXPECT_TRUE(surface.drawn.empty());
}

TEST_F(LinkTest, FailedWriteReturnsMinusOneAndDrawsNothing) {
    open();
    board.faults.writeFails = true;
    EXPECT_EQ(sendCommand(link, machine, console, "W0123456   "), -1);
    EXPECT_TRUE(surface.drawn.empty());
}

// ---- pollReply

TEST_F(LinkTest, PollReadsOnlyWholeFramesAndLeavesTheRestQueued) {
    const char stream[] = "U0123456\rR0A";
    for (int queued = 0; queued <= 12; ++queued) {
        SCOPED_TRACE(queued);
        open();
        board.inject(bytesOf(stream), static_cast<size_t>(queued));
        surface.drawn.clear();
        unsigned char reply[9] = {};
        const int expected = queued < 9 ? 0 : 9;
        EXPECT_EQ(pollReply(link, console, reply), expected);
        EXPECT_EQ(board.queuedBytes(), static_cast<size_t>(queued - expected));
        if (expected == 9) {
            EXPECT_EQ(0, std::memcmp(reply, stream, 9));
            ASSERT_EQ(surface.drawn.size(), 1u);
            EXPECT_EQ(surface.drawn[0].x, 355);
            EXPECT_EQ(surface.drawn[0].y, 70);
            EXPECT_EQ(surface.drawn[0].bytes, std::string(stream, 9));
        } else {
            EXPECT_TRUE(surface.drawn.empty());
        }
        releaseLink(link, run);
    }
}

TEST_F(LinkTest, LeftoverBytesStartTheNextFrame) {
    open();
    board.inject(bytesOf("U0123456\rR0A"), 12);
    unsigned char reply[9];
    ASSERT_EQ(pollReply(link, console, reply), 9);
    EXPECT_EQ(pollReply(link, console, reply), 0);
    board.inject(bytesOf("BCDEF\r"), 6);
    ASSERT_EQ(pollReply(link, console, reply), 9);
    EXPECT_EQ(0, std::memcmp(reply, "R0ABCDEF\r", 9));
}

TEST_F(LinkTest, DriverFailuresWhilePollingReturnMinusOne) {
    open();
    board.inject(bytesOf("U0123456\r"), 9);
    unsigned char reply[9];
    board.faults.statusFails = true;
    EXPECT_EQ(pollReply(link, console, reply), -1);
    board.faults.statusFails = false;
    board.faults.readFails = true;
    EXPECT_EQ(pollReply(link, console, reply), -1);
    EXPECT_EQ(board.queuedBytes(), 9u);
    board.faults.readFails = false;
    EXPECT_EQ(pollReply(link, console, reply), 9);
}

TEST_F(LinkTest, UnpluggedBoardFailsSendAndPoll) {
    open();
    board.unplug();
    board.plug();
    unsigned char reply[9];
    EXPECT_EQ(sendCommand(link, machine, console, "R0000000   "), -1);
    EXPECT_EQ(pollReply(link, console, reply), -1);
    releaseLink(link, run);
    open();  // the board that came back is a new device
}

TEST_F(LinkTest, ExaggeratedReadCountIsNotDrawnPastTheFrame) {
    open();
    board.inject(bytesOf("U0123456\r"), 9);
    driver.readCountOverride = 4096;
    unsigned char reply[9];
    EXPECT_EQ(pollReply(link, console, reply), 9);
    ASSERT_EQ(surface.drawn.size(), 1u);
    EXPECT_EQ(surface.drawn[0].bytes.size(), 9u);
}

// ---- the whole road of one command

TEST_F(LinkTest, CommandAndReplyThroughTheBoard) {
    board.latencyMilliseconds = 5;
    board.model.inputs = 0x0000F0;
    machine.polarityMask = 0x000010;
    open();
    unsigned char reply[9];
    ASSERT_EQ(sendCommand(link, machine, console, "W0a1B2c3   "), 9);
    EXPECT_EQ(board.model.outputs, 0xA1B2C3u);
    clock.now = 4;
    EXPECT_EQ(pollReply(link, console, reply), 0);
    clock.now = 5;
    ASSERT_EQ(pollReply(link, console, reply), 9);
    applyReply(machine, reply);
    EXPECT_EQ(machine.outputRegister, 0xA1B2C3);

    ASSERT_EQ(sendCommand(link, machine, console, "R1@       "), 9);
    EXPECT_EQ(driver.lastWrite, "R1a1b2c3\r");
    clock.now = 10;
    ASSERT_EQ(pollReply(link, console, reply), 9);
    EXPECT_EQ(0, std::memcmp(reply, "R10000F0\r", 9));
    applyReply(machine, reply);
    EXPECT_EQ(machine.outputRegister, 0x0000F0);
    EXPECT_EQ(machine.inputRegister, 0x0000E0);
}

TEST_F(LinkTest, MutedBoardNeverAnswers) {
    board.model.muted = true;
    open();
    ASSERT_EQ(sendCommand(link, machine, console, "W0000001   "), 9);
    clock.now = 1000;
    unsigned char reply[9];
    EXPECT_EQ(pollReply(link, console, reply), 0);
    EXPECT_EQ(board.model.outputs, 1u);
}

// ---- applyReply

TEST(ApplyReply, TypeLetterDecidesWhichRegistersTakeTheValue) {
    struct Case {
        const char* frame;
        int32_t polarity;
        int32_t output;
        int32_t input;
    } cases[] = {
        {"U0ABCDEF\r", 0, 0xABCDEF, 0x555555},
        {"R?000001\r", 0x000001, 0x000001, 0x000000},
        {"R?F0F0F0\r", 0xFFFFFF, 0xF0F0F0, 0x0F0F0F},
        {"u0000012\r", 0xFFFFFF, 0x000012, 0x000012},
        {"r0000012\r", 0xFFFFFF, 0x000012, 0x000012},
        {"X0000012\r", 0xFFFFFF, 0x000012, 0x000012},
        {"\0" "0000012\r", 0, 0x000012, 0x000012},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame + 1);
        MachineState machine;
        machine.outputRegister = 0x333333;
        machine.inputRegister = 0x555555;
        machine.polarityMask = c.polarity;
        applyReply(machine, bytesOf(c.frame));
        EXPECT_EQ(machine.outputRegister, c.output);
        EXPECT_EQ(machine.inputRegister, c.input);
    }
}

TEST(ApplyReply, InvalidValueFieldChangesNothing) {
    for (const char* frame : {"U0abcdef\r", "R0ABCDEf\r", "U0 12345\r", "U012345G\r", "R0-12345\r", "X0\0" "23456\r"}) {
        SCOPED_TRACE(frame);
        MachineState machine;
        machine.outputRegister = 0x333333;
        machine.inputRegister = 0x555555;
        applyReply(machine, bytesOf(frame));
        EXPECT_EQ(machine.outputRegister, 0x333333);
        EXPECT_EQ(machine.inputRegister, 0x555555);
    }
}

}  // namespace
}  // namespace kt57
