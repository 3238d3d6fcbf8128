// The contract between the pseudo-terminal board and the loop that hosts it: the host sleeps for
// millisecondsUntilDue() and then calls service(). However late the host comes back, a reply that
// fell due meanwhile must still go out on that service(), not wait for the next command.
#include <gtest/gtest.h>

#include <string>

#include "platform/linux/tty_driver.h"
#include "tests/support/device_test_doubles.h"
#include "tests/support/served_board.h"
#include "tools/kt57-board/pty_board.h"

namespace kt57 {
namespace {

class PtyBoardHost : public ::testing::Test {
protected:
    void SetUp() override {
        char error[300] = {};
        ASSERT_TRUE(board.plug(error, sizeof error)) << error;
        board.session.latencyMilliseconds = 5;
        ASSERT_EQ(driver.FT_OpenEx(const_cast<char*>(board.model.serialNumber), FT_OPEN_BY_SERIAL_NUMBER, &handle),
                  FT_OK);
        driver.FT_SetTimeouts(handle, 200, 200);
    }
    void TearDown() override { driver.FT_Close(handle); }

    // The board takes a whole command written by the sequencer's side.
    void sendCommand(const char* frame) {
        uint32_t written = 0;
        ASSERT_EQ(driver.FT_Write(handle, const_cast<char*>(frame), 9, &written), FT_OK);
        const uint64_t before = board.bytesRead();
        ASSERT_TRUE(test::eventually([&] {
            board.service();
            return board.bytesRead() >= before + 9;
        }));
    }

    std::string replyArrived() {
        char reply[9] = {};
        uint32_t count = 0;
        if (driver.FT_Read(handle, reply, sizeof reply, &count) != FT_OK) return "";
        return std::string(reply, count);
    }

    test::BoardSandbox sandbox;
    test::TestClock clock;
    PtyBoard board{sandbox.registryDirectory().c_str(), clock};
    TtyDriver driver{sandbox.locations()};
    FT_HANDLE handle = nullptr;
};

TEST_F(PtyBoardHost, AReplyDueBeforeTheHostAsksIsSentOnItsNextService) {
    sendCommand("W0abcdef\r");
    EXPECT_EQ(board.millisecondsUntilDue(), 5);
    // The host is slow: by the time it asks how long to sleep, the reply is overdue.
    clock.now += 8;
    EXPECT_EQ(board.millisecondsUntilDue(), 0) << "a due reply asks for a service now";
    EXPECT_EQ(board.millisecondsUntilDue(), 0) << "asking again changes nothing";
    board.service();
    EXPECT_EQ(replyArrived(), "U0ABCDEF\r");
    EXPECT_EQ(board.millisecondsUntilDue(), -1);
}

TEST_F(PtyBoardHost, TheWaitCountsDownToTheEarliestOfSeveralReplies) {
    sendCommand("R0000000\r");
    clock.now += 3;
    sendCommand("W0000001\r");
    EXPECT_EQ(board.millisecondsUntilDue(), 2);
    clock.now += 2;
    EXPECT_EQ(board.millisecondsUntilDue(), 0);
    board.service();
    EXPECT_EQ(replyArrived(), "R0000000\r");
    EXPECT_EQ(board.millisecondsUntilDue(), 3);
    clock.now += 3;
    board.service();
    EXPECT_EQ(replyArrived(), "U0000001\r");
}

}  // namespace
}  // namespace kt57
