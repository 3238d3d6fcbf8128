// The link driven against the virtual board, through a recording driver.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "board/virtual_board.h"
#include "device/device_link.h"
#include "tests/support/device_test_doubles.h"

namespace kt57 {
namespace {

using test::RecordingDriver;

const unsigned char* bytesOf(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

// A board, a recording driver in front of it and a link through them.
struct LinkBench {
    LinkBench() {
        link.driver = &driver;
        link.wait = &wait;
    }
    LinkBench(const LinkBench&) = delete;
    LinkBench& operator=(const LinkBench&) = delete;

    void open() {
        link.linkState = openLink(link);
        ASSERT_EQ(link.linkState, LinkState::Open);
    }

    std::string rememberSerial(const char* serial) {
        std::strcpy(link.serialNumber, serial);
        return serial;
    }

    test::TestClock clock;
    VirtualBoard board{clock};
    RecordingDriver driver{board};
    test::RecordingWait wait;
    DeviceLink link;
    unsigned char frame[frameLength] = {};
};

class LinkTest : public testing::Test, public LinkBench {};

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

// Each way an open can go, with what it leaves behind: the serial number and the calls made.
TEST_F(LinkTest, OpenOutcomes) {
    struct Case {
        const char* name;
        const char* remembered;  // "" = none
        std::function<void(LinkBench&)> arrange;
        LinkState result;
        const char* serialAfter;
        int listings;  // count and index listings together
        int opens;
    } cases[] = {
        {"remembered serial opens without listing", "VB000001", [](LinkBench&) {}, LinkState::Open, "VB000001", 0, 1},
        {"absent remembered board fails with another attached", "OTHER001", [](LinkBench&) {}, LinkState::Closed,
         "OTHER001", 0, 1},
        {"no device leaves the serial empty", "", [](LinkBench& t) { t.board.unplug(); }, LinkState::Closed, "", 1, 0},
        {"failed index listing leaves the serial empty", "",
         [](LinkBench& t) { t.driver.indexListingFails = true; }, LinkState::Closed, "", 2, 0},
        {"configuration failures are ignored", "", [](LinkBench& t) { t.driver.configurationFails = true; },
         LinkState::Open, "VB000001", 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkBench fresh;
        std::strcpy(fresh.link.serialNumber, c.remembered);
        c.arrange(fresh);
        EXPECT_EQ(openLink(fresh.link), c.result);
        EXPECT_STREQ(fresh.link.serialNumber, c.serialAfter);
        EXPECT_EQ(fresh.driver.countListings + fresh.driver.indexListings, c.listings);
        EXPECT_EQ(fresh.driver.opens, c.opens);
    }
}

TEST_F(LinkTest, SerialLearnedBeforeAFailedOpenIsKeptAndNeverListedAgain) {
    board.faults.openFails = true;
    EXPECT_EQ(openLink(link), LinkState::Closed);
    EXPECT_STREQ(link.serialNumber, "VB000001");
    EXPECT_EQ(openLink(link), LinkState::Closed);
    board.faults.openFails = false;
    open();
    EXPECT_EQ(driver.countListings, 1);
    EXPECT_EQ(driver.indexListings, 1);
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
        EXPECT_EQ(openLink(fresh), LinkState::Closed);  // the board's own serial differs
        EXPECT_EQ(std::string(fresh.serialNumber), c.expected);
        EXPECT_EQ(driver.openedSerial, c.expected);
        EXPECT_EQ(fresh.driver, &driver);  // the field after the buffer is intact
        EXPECT_EQ(fresh.wait, &wait);
    }
}

// ---- releaseLink

TEST_F(LinkTest, ReleaseClosesOnceAndWaitsTwentyMilliseconds) {
    open();
    EXPECT_TRUE(releaseLink(link));
    EXPECT_EQ(link.linkState, LinkState::Closed);
    EXPECT_EQ(driver.closes, 1);
    EXPECT_EQ(wait.waits, std::vector<int>{20});

    EXPECT_FALSE(releaseLink(link));
    EXPECT_EQ(driver.closes, 1);
    EXPECT_EQ(wait.waits.size(), 1u);
}

TEST_F(LinkTest, ReleaseWithoutBoardAtStartUpDoesNothing) {
    link.linkState = LinkState::NoBoard;
    EXPECT_FALSE(releaseLink(link));
    EXPECT_EQ(link.linkState, LinkState::NoBoard);
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
        EXPECT_EQ(sendCommand(link, c.output, c.text, frame), 9);
        EXPECT_EQ(driver.lastWrite, c.frame);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(frame), frameLength), c.frame);  // handed back to show
    }
}

TEST_F(LinkTest, FailedWriteReturnsMinusOne) {
    open();
    board.faults.writeFails = true;
    EXPECT_EQ(sendCommand(link, 0, "W0123456   ", frame), -1);
}

// ---- pollReply

TEST_F(LinkTest, PollReadsOnlyWholeFramesAndLeavesTheRestQueued) {
    const char stream[] = "U0123456\rR0A";
    for (int queued = 0; queued <= 12; ++queued) {
        SCOPED_TRACE(queued);
        open();
        board.inject(bytesOf(stream), static_cast<size_t>(queued));
        unsigned char reply[9] = {};
        const int expected = queued < 9 ? 0 : 9;
        EXPECT_EQ(pollReply(link, reply), expected);
        EXPECT_EQ(board.queuedBytes(), static_cast<size_t>(queued - expected));
        if (expected == 9) {
            EXPECT_EQ(0, std::memcmp(reply, stream, 9));
        }
        releaseLink(link);
    }
}

TEST_F(LinkTest, LeftoverBytesStartTheNextFrame) {
    open();
    board.inject(bytesOf("U0123456\rR0A"), 12);
    unsigned char reply[9];
    ASSERT_EQ(pollReply(link, reply), 9);
    EXPECT_EQ(pollReply(link, reply), 0);
    board.inject(bytesOf("BCDEF\r"), 6);
    ASSERT_EQ(pollReply(link, reply), 9);
    EXPECT_EQ(0, std::memcmp(reply, "R0ABCDEF\r", 9));
}

TEST_F(LinkTest, DriverFailuresWhilePollingReturnMinusOne) {
    open();
    board.inject(bytesOf("U0123456\r"), 9);
    unsigned char reply[9];
    board.faults.statusFails = true;
    EXPECT_EQ(pollReply(link, reply), -1);
    board.faults.statusFails = false;
    board.faults.readFails = true;
    EXPECT_EQ(pollReply(link, reply), -1);
    EXPECT_EQ(board.queuedBytes(), 9u);
    board.faults.readFails = false;
    EXPECT_EQ(pollReply(link, reply), 9);
}

TEST_F(LinkTest, UnpluggedBoardFailsSendAndPoll) {
    open();
    board.unplug();
    board.plug();
    unsigned char reply[9];
    EXPECT_EQ(sendCommand(link, 0, "R0000000   ", frame), -1);
    EXPECT_EQ(pollReply(link, reply), -1);
    releaseLink(link);
    open();  // the board that came back is a new device
}

TEST_F(LinkTest, ExaggeratedReadCountIsCutToTheFrame) {
    open();
    board.inject(bytesOf("U0123456\r"), 9);
    driver.readCountOverride = 4096;
    unsigned char reply[9];
    EXPECT_EQ(pollReply(link, reply), 9);
}

// ---- the whole road of one command

TEST_F(LinkTest, CommandAndReplyThroughTheBoard) {
    board.latencyMilliseconds = 5;
    board.model.inputs = 0x0000F0;
    open();
    unsigned char reply[9];
    ASSERT_EQ(sendCommand(link, 0, "W0a1B2c3   ", frame), 9);
    EXPECT_EQ(board.model.outputs, 0xA1B2C3u);
    clock.now = 4;
    EXPECT_EQ(pollReply(link, reply), 0);
    clock.now = 5;
    ASSERT_EQ(pollReply(link, reply), 9);
    EXPECT_EQ(0, std::memcmp(reply, "U0A1B2C3\r", 9));

    ASSERT_EQ(sendCommand(link, 0xA1B2C3, "R1@       ", frame), 9);
    EXPECT_EQ(driver.lastWrite, "R1a1b2c3\r");
    clock.now = 10;
    ASSERT_EQ(pollReply(link, reply), 9);
    EXPECT_EQ(0, std::memcmp(reply, "R10000F0\r", 9));
}

TEST_F(LinkTest, MutedBoardNeverAnswers) {
    board.model.muted = true;
    open();
    ASSERT_EQ(sendCommand(link, 0, "W0000001   ", frame), 9);
    clock.now = 1000;
    unsigned char reply[9];
    EXPECT_EQ(pollReply(link, reply), 0);
    EXPECT_EQ(board.model.outputs, 1u);
}

}  // namespace
}  // namespace kt57
