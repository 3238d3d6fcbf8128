// The virtual board as a driver of its own: listing, handles, latency, framing and every fault.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/virtual_board.h"
#include "tests/support/device_test_doubles.h"

namespace kt57 {
namespace {

const unsigned char* bytesOf(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

class VirtualBoardTest : public testing::Test {
protected:
    FT_HANDLE open() {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(board.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
        return handle;
    }
    FT_STATUS write(FT_HANDLE handle, const char* bytes, uint32_t size) {
        uint32_t written = 0;
        return board.FT_Write(handle, bytes, size, &written);
    }
    std::string read(FT_HANDLE handle, uint32_t size) {
        char buffer[64] = {};
        uint32_t count = 0;
        EXPECT_EQ(board.FT_Read(handle, buffer, size, &count), FT_OK);
        return std::string(buffer, count);
    }
    uint32_t listedCount() {
        uint32_t count = 99;
        EXPECT_EQ(board.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        return count;
    }
    // Every call a handle offers, each expected to fail.
    void expectDead(FT_HANDLE handle) {
        uint32_t rx = 0, tx = 0, events = 0, count = 0;
        char buffer[9] = {};
        EXPECT_NE(board.FT_SetChars(handle, 0x0D, 1, 0, 0), FT_OK);
        EXPECT_NE(board.FT_SetTimeouts(handle, 100, 100), FT_OK);
        EXPECT_NE(board.FT_GetStatus(handle, &rx, &tx, &events), FT_OK);
        EXPECT_NE(board.FT_Read(handle, buffer, 9, &count), FT_OK);
        EXPECT_NE(board.FT_Write(handle, "R0000000\r", 9, &count), FT_OK);
    }

    test::TestClock clock;
    VirtualBoard board{clock};
    char serial[16] = "VB000001";
};

TEST_F(VirtualBoardTest, ListsOneDeviceWithItsSerialNumber) {
    EXPECT_EQ(listedCount(), 1u);
    char listed[listedSerialCapacity];
    std::memset(listed, 'x', sizeof listed);
    const uint32_t byIndex = FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER;
    ASSERT_EQ(board.FT_ListDevices(reinterpret_cast<void*>(uintptr_t{0}), listed, byIndex), FT_OK);
    EXPECT_STREQ(listed, "VB000001");
    EXPECT_EQ(board.FT_ListDevices(reinterpret_cast<void*>(uintptr_t{1}), listed, byIndex), FT_DEVICE_NOT_FOUND);
}

TEST_F(VirtualBoardTest, OpenMatchesTheWholeSerialNumber) {
    FT_HANDLE handle = nullptr;
    for (const char* wrong : {"", "VB00000", "VB0000012", "vb000001"}) {
        SCOPED_TRACE(wrong);
        std::strcpy(serial, wrong);
        EXPECT_EQ(board.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
    }
    std::strcpy(serial, "VB000001");
    EXPECT_NE(open(), nullptr);
}

TEST_F(VirtualBoardTest, OneHandleAtATimeAndClosedHandlesStayClosed) {
    const FT_HANDLE first = open();
    FT_HANDLE second = nullptr;
    EXPECT_EQ(board.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(board.FT_Close(first), FT_OK);
    EXPECT_EQ(board.FT_Close(first), FT_INVALID_HANDLE);
    second = open();
    EXPECT_NE(second, first);
    expectDead(first);
}

TEST_F(VirtualBoardTest, ReplyEntersTheQueueAfterTheLatency) {
    board.latencyMilliseconds = 30;
    board.model.inputs = 0x00C0DE;
    const FT_HANDLE handle = open();
    clock.now = 100;
    ASSERT_EQ(write(handle, "R5000000\r", 9), FT_OK);
    board.model.inputs = 0x111111;  // the reply was built at the write
    clock.now = 129;
    EXPECT_EQ(board.queuedBytes(), 0u);
    clock.now = 130;
    EXPECT_EQ(board.queuedBytes(), 9u);
    EXPECT_EQ(read(handle, 9), "R500C0DE\r");
}

TEST_F(VirtualBoardTest, ZeroLatencyAnswersAtOnce) {
    board.latencyMilliseconds = 0;
    const FT_HANDLE handle = open();
    ASSERT_EQ(write(handle, "W0abcdef\r", 9), FT_OK);
    EXPECT_EQ(read(handle, 9), "U0ABCDEF\r");
}

TEST_F(VirtualBoardTest, MuteCountsAtTheWrite) {
    const FT_HANDLE handle = open();
    ASSERT_EQ(write(handle, "R0000000\r", 9), FT_OK);
    board.model.muted = true;  // too late for the reply already built
    ASSERT_EQ(write(handle, "W0000042\r", 9), FT_OK);
    board.model.muted = false;
    clock.now = 10;
    EXPECT_EQ(board.queuedBytes(), 9u);
    EXPECT_EQ(board.model.outputs, 0x42u);
}

TEST_F(VirtualBoardTest, WritesAreFramedInNines) {
    board.latencyMilliseconds = 0;
    const FT_HANDLE handle = open();
    ASSERT_EQ(write(handle, "W000", 4), FT_OK);
    EXPECT_EQ(board.queuedBytes(), 0u);
    ASSERT_EQ(write(handle, "0001\r", 5), FT_OK);
    EXPECT_EQ(read(handle, 9), "U0000001\r");
    ASSERT_EQ(write(handle, "W0000002\rW0000003\rR0", 20), FT_OK);
    EXPECT_EQ(read(handle, 18), "U0000002\rU0000003\r");
    // The two bytes of an unfinished command die with the handle.
    ASSERT_EQ(board.FT_Close(handle), FT_OK);
    const FT_HANDLE next = open();
    ASSERT_EQ(write(next, "W0000004\r", 9), FT_OK);
    EXPECT_EQ(read(next, 9), "U0000004\r");
}

TEST_F(VirtualBoardTest, CloseLosesQueuedBytesAndRepliesOnTheirWay) {
    board.latencyMilliseconds = 10;
    FT_HANDLE handle = open();
    board.inject(bytesOf("garbage"), 7);
    ASSERT_EQ(write(handle, "R0000000\r", 9), FT_OK);
    ASSERT_EQ(board.FT_Close(handle), FT_OK);
    handle = open();
    clock.now = 50;
    EXPECT_EQ(board.queuedBytes(), 0u);
}

TEST_F(VirtualBoardTest, InjectedBytesNeedALiveHandle) {
    board.inject(bytesOf("U0000000\r"), 9);
    const FT_HANDLE handle = open();
    EXPECT_EQ(board.queuedBytes(), 0u);
    board.inject(bytesOf("U01"), 3);
    EXPECT_EQ(read(handle, 9), "U01");  // a short read takes what is there
    board.unplug();
    board.plug();
    board.inject(bytesOf("U0000000\r"), 9);
    EXPECT_EQ(board.queuedBytes(), 0u);
}

TEST_F(VirtualBoardTest, UnplugKillsTheHandleForGoodAndKeepsTheState) {
    board.model.inputs = 0x0000AA;
    const FT_HANDLE handle = open();
    ASSERT_EQ(write(handle, "W0000055\r", 9), FT_OK);
    board.unplug();
    EXPECT_EQ(listedCount(), 0u);
    FT_HANDLE other = nullptr;
    EXPECT_EQ(board.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &other), FT_DEVICE_NOT_FOUND);
    expectDead(handle);
    board.plug();
    expectDead(handle);
    EXPECT_EQ(board.queuedBytes(), 0u);
    EXPECT_EQ(board.model.outputs, 0x55u);
    EXPECT_EQ(board.model.inputs, 0xAAu);
    const FT_HANDLE fresh = open();
    clock.now = 100;
    EXPECT_EQ(board.queuedBytes(), 0u);  // the reply to the old write died with the old handle
    EXPECT_NE(fresh, handle);
}

TEST_F(VirtualBoardTest, UnplugSwitchAloneActsAtTheNextCall) {
    const FT_HANDLE handle = open();
    board.inject(bytesOf("U0000000\r"), 9);
    board.faults.unplugged = true;
    expectDead(handle);
    board.faults.unplugged = false;
    expectDead(handle);
    EXPECT_EQ(board.queuedBytes(), 0u);
}

TEST_F(VirtualBoardTest, FaultSwitchesActOnTheNextCallAndCanBeUndone) {
    board.latencyMilliseconds = 0;
    board.faults.openFails = true;
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(listedCount(), 1u);
    EXPECT_EQ(board.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_OPENED);
    board.faults.openFails = false;
    handle = open();

    uint32_t rx = 0, tx = 0, events = 0, count = 0;
    char buffer[9];
    board.faults.writeFails = true;
    EXPECT_EQ(write(handle, "W0000001\r", 9), FT_IO_ERROR);
    EXPECT_EQ(board.model.outputs, 0u);  // a failed write reaches nothing
    board.faults.writeFails = false;
    ASSERT_EQ(write(handle, "W0000001\r", 9), FT_OK);

    board.faults.statusFails = true;
    EXPECT_EQ(board.FT_GetStatus(handle, &rx, &tx, &events), FT_IO_ERROR);
    board.faults.statusFails = false;
    ASSERT_EQ(board.FT_GetStatus(handle, &rx, &tx, &events), FT_OK);
    EXPECT_EQ(rx, 9u);

    board.faults.readFails = true;
    EXPECT_EQ(board.FT_Read(handle, buffer, 9, &count), FT_IO_ERROR);
    board.faults.readFails = false;
    EXPECT_EQ(read(handle, 9), "U0000001\r");
}

TEST_F(VirtualBoardTest, FixedTablesDropWhatDoesNotFit) {
    board.latencyMilliseconds = 10;
    const FT_HANDLE handle = open();
    for (int i = 0; i < VirtualBoard::pendingCapacity + 4; ++i) ASSERT_EQ(write(handle, "R0000000\r", 9), FT_OK);
    clock.now = 10;
    EXPECT_EQ(board.queuedBytes(), VirtualBoard::pendingCapacity * 9u);

    const std::string flood(VirtualBoard::receiveCapacity, 'z');
    board.inject(bytesOf(flood.c_str()), flood.size());
    EXPECT_EQ(board.queuedBytes(), VirtualBoard::receiveCapacity);
    EXPECT_EQ(read(handle, 9), "R0000000\r");  // the oldest bytes are kept, the overflow is lost
}

TEST_F(VirtualBoardTest, AReplyWithAShorterLatencyOvertakesAnEarlierOne) {
    board.latencyMilliseconds = 20;
    const FT_HANDLE handle = open();
    ASSERT_EQ(write(handle, "W0000001\r", 9), FT_OK);
    board.latencyMilliseconds = 5;
    ASSERT_EQ(write(handle, "W0000002\r", 9), FT_OK);
    clock.now = 20;
    EXPECT_EQ(read(handle, 18), "U0000002\rU0000001\r");
}

}  // namespace
}  // namespace kt57
