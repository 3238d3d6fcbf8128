// The device link's own operations over TtyDriver and kt57-board: what kt57d does on Linux.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>

#include "device/device_link.h"
#include "platform/linux/tty_driver.h"
#include "sequencer/run_control.h"
#include "tests/linux/served_board.h"

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
    int pollUntilReply(unsigned char* frame) {
        int result = 0;
        test::eventually([&] { return (result = pollReply(link, console, frame)) != 0; }, 500);
        return result;
    }

    test::BoardSandbox sandbox;
    TtyDriver driver {sandbox.locations()};
    NoWait wait;
    DeviceLink link {nullptr, 0, {}, &driver, &wait};
    MachineState machine;
    ConsoleState console;
    RunControl run;
};

TEST_F(DeviceLinkOverTtyTest, OpensTheFirstListedBoardAndRunsCommandsThroughIt) {
    test::ServedBoard later(sandbox, "VB000002");
    test::ServedBoard first(sandbox, "VB000001");
    ASSERT_TRUE(later.started() && first.started());
    link.linkState = openLink(link);
    ASSERT_EQ(link.linkState, 1);
    EXPECT_STREQ(link.serialNumber, "VB000001");

    unsigned char frame[frameLength] = {};
    EXPECT_EQ(pollReply(link, console, frame), 0);
    machine.outputRegister = 0xABCDEF;
    EXPECT_EQ(sendCommand(link, machine, console, "W0@xxxxx   "), 9);
    ASSERT_TRUE(first.waitForLog("command    W0abcdef\\x0D"));
    ASSERT_EQ(pollUntilReply(frame), 9);
    applyReply(machine, frame);
    EXPECT_EQ(machine.outputRegister, 0xABCDEF);

    ASSERT_TRUE(first.control("input 000101", "inputs"));
    machine.polarityMask = 0x000001;
    EXPECT_EQ(sendCommand(link, machine, console, "R0000000   "), 9);
    ASSERT_EQ(pollUntilReply(frame), 9);
    applyReply(machine, frame);
    EXPECT_EQ(machine.inputRegister, 0x000100);
    EXPECT_EQ(machine.outputRegister, 0x000101);

    releaseLink(link, run);
    EXPECT_EQ(link.linkState, 0);
    EXPECT_EQ(wait.waited, 20);
}

TEST_F(DeviceLinkOverTtyTest, AVanishedBoardFailsThePollAndTheKnownSerialReopensWhenItIsBack) {
    auto board = std::make_unique<test::ServedBoard>(sandbox, "VB000003");
    ASSERT_TRUE(board->started());
    link.linkState = openLink(link);
    ASSERT_EQ(link.linkState, 1);
    board->kill(SIGTERM);
    unsigned char frame[frameLength] = {};
    EXPECT_EQ(pollReply(link, console, frame), -1);
    EXPECT_EQ(sendCommand(link, machine, console, "W0000001   "), -1);
    releaseLink(link, run);

    // Another board is there now, but the link keeps to the serial number it learned.
    test::ServedBoard other(sandbox, "VB000001");
    ASSERT_TRUE(other.started());
    EXPECT_EQ(openLink(link), 0);
    board = std::make_unique<test::ServedBoard>(sandbox, "VB000003");
    ASSERT_TRUE(board->started());
    link.linkState = openLink(link);
    ASSERT_EQ(link.linkState, 1);
    EXPECT_EQ(sendCommand(link, machine, console, "W0000042   "), 9);
    ASSERT_EQ(pollUntilReply(frame), 9);
    EXPECT_EQ(std::memcmp(frame, "U0000042\r", 9), 0);
    releaseLink(link, run);
}

}  // namespace
}  // namespace kt57
