// The device link's own operations over TtyDriver and kt57-board: what kt57d does on Linux.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>

#include "device/device_link.h"
#include "platform/linux/tty_driver.h"
#include "sequencer/reply.h"
#include "tests/support/served_board.h"

namespace kt57 {
namespace {

class NoWait : public BlockingWait {
public:
    void waitMilliseconds(int milliseconds) override { waited += milliseconds; }
    int waited = 0;
};

class DeviceLinkOverTtyTest : public ::testing::Test {
protected:
    // Polls as the engine's ticks would, with a short real pause between polls.
    int pollUntilReply(unsigned char (&frame)[frameLength]) {
        int result = 0;
        test::eventually([&] { return (result = pollReply(link, frame)) != 0; }, 500);
        return result;
    }

    test::BoardSandbox sandbox;
    TtyDriver driver {sandbox.locations()};
    NoWait wait;
    DeviceLink link {nullptr, LinkState::Closed, {}, &driver, &wait};
    MachineState machine;
    unsigned char sent[frameLength] = {};
};

TEST_F(DeviceLinkOverTtyTest, OpensTheFirstListedBoardAndRunsCommandsThroughIt) {
    test::ServedBoard later(sandbox, "VB000002");
    test::ServedBoard first(sandbox, "VB000001");
    ASSERT_TRUE(later.started() && first.started());
    link.linkState = openLink(link);
    ASSERT_EQ(link.linkState, LinkState::Open);
    EXPECT_STREQ(link.serialNumber, "VB000001");

    unsigned char frame[frameLength] = {};
    EXPECT_EQ(pollReply(link, frame), 0);
    machine.outputRegister = 0xABCDEF;
    EXPECT_EQ(sendCommand(link, machine.outputRegister, "W0@xxxxx   ", sent), 9);
    ASSERT_TRUE(first.waitForLog("command    W0abcdef\\x0D"));
    ASSERT_EQ(pollUntilReply(frame), 9);
    applyReply(machine, frame);
    EXPECT_EQ(machine.outputRegister, 0xABCDEF);

    ASSERT_TRUE(first.control("input 000101", "inputs"));
    machine.polarityMask = 0x000001;
    EXPECT_EQ(sendCommand(link, machine.outputRegister, "R0000000   ", sent), 9);
    ASSERT_EQ(pollUntilReply(frame), 9);
    applyReply(machine, frame);
    EXPECT_EQ(machine.inputRegister, 0x000100);
    EXPECT_EQ(machine.outputRegister, 0x000101);

    releaseLink(link);
    EXPECT_EQ(link.linkState, LinkState::Closed);
    EXPECT_EQ(wait.waited, 20);
}

TEST_F(DeviceLinkOverTtyTest, AVanishedBoardFailsThePollAndTheKnownSerialReopensWhenItIsBack) {
    auto board = std::make_unique<test::ServedBoard>(sandbox, "VB000003");
    ASSERT_TRUE(board->started());
    link.linkState = openLink(link);
    ASSERT_EQ(link.linkState, LinkState::Open);
    board->kill(SIGTERM);
    unsigned char frame[frameLength] = {};
    EXPECT_EQ(pollReply(link, frame), -1);
    EXPECT_EQ(sendCommand(link, machine.outputRegister, "W0000001   ", sent), -1);
    releaseLink(link);

    // Another board is there now, but the link keeps to the serial number it learned.
    test::ServedBoard other(sandbox, "VB000001");
    ASSERT_TRUE(other.started());
    EXPECT_EQ(openLink(link), LinkState::Closed);
    board = std::make_unique<test::ServedBoard>(sandbox, "VB000003");
    ASSERT_TRUE(board->started());
    link.linkState = openLink(link);
    ASSERT_EQ(link.linkState, LinkState::Open);
    EXPECT_EQ(sendCommand(link, machine.outputRegister, "W0000042   ", sent), 9);
    ASSERT_EQ(pollUntilReply(frame), 9);
    EXPECT_EQ(std::memcmp(frame, "U0000042\r", 9), 0);
    releaseLink(link);
}

}  // namespace
}  // namespace kt57
