// TtyDriver against kt57-board over real pseudo-terminals: listing, opening, frames, queues,
// time-outs, and a board that goes away while it is open.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/linux/tty_driver.h"
#include "tests/platform/linux/allocation_counter.h"
#include "tests/support/served_board.h"

namespace kt57 {
namespace {

using test::BoardSandbox;
using test::eventually;
using test::ServedBoard;

std::string frameText(const unsigned char* bytes, uint32_t size) {
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

class TtyDriverTest : public ::testing::Test {
protected:
    uint32_t count() {
        uint32_t listed = 0;
        driver.FT_ListDevices(&listed, nullptr, FT_LIST_NUMBER_ONLY);
        return listed;
    }
    std::string serialAt(uintptr_t index) {
        char serial[listedSerialCapacity] = "untouched";
        const FT_STATUS status = driver.FT_ListDevices(reinterpret_cast<void*>(index), serial,
                                                       FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
        return status == FT_OK ? std::string(serial) : "status " + std::to_string(status);
    }
    FT_HANDLE open(const char* serial) {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(driver.FT_OpenEx(const_cast<char*>(serial), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK) << serial;
        return handle;
    }
    uint32_t queued(FT_HANDLE handle) {
        uint32_t received = 0, transmit = 0, events = 0;
        return driver.FT_GetStatus(handle, &received, &transmit, &events) == FT_OK ? received : 9999;
    }
    // Writes one command and reads the reply, waiting at most the read time-out.
    std::string exchange(FT_HANDLE handle, const char* command) {
        uint32_t written = 0;
        if (driver.FT_Write(handle, command, 9, &written) != FT_OK || written != 9) return "write failed";
        unsigned char reply[16] = {};
        uint32_t got = 0;
        if (driver.FT_Read(handle, reply, 9, &got) != FT_OK) return "read failed";
        return frameText(reply, got);
    }

    BoardSandbox sandbox;
    TtyDriver driver {sandbox.locations()};
};

TEST_F(TtyDriverTest, ListsRealBoardsFirstThenVirtualBoardsEachSortedBySerial) {
    EXPECT_EQ(count(), 0u);
    EXPECT_EQ(serialAt(0), "status " + std::to_string(FT_DEVICE_NOT_FOUND));
    ServedBoard second(sandbox, "VB000002");
    ServedBoard first(sandbox, "VB000001");
    ASSERT_TRUE(second.started() && first.started());
    // udev's by-id links stand in for real boards; only the first interface of a USB serial counts.
    const std::string byId = sandbox.byIdDirectory() + "/";
    ASSERT_EQ(symlink(second.devicePath().c_str(), (byId + "usb-FTDI_FT232R_USB_UART_ZZ000009-if00-port0").c_str()), 0);
    ASSERT_EQ(symlink(first.devicePath().c_str(), (byId + "usb-Maker_IO_Board_AA000001-if00-port0").c_str()), 0);
    ASSERT_EQ(symlink(first.devicePath().c_str(), (byId + "usb-FTDI_Dual_RS232_BB000001-if01-port0").c_str()), 0);
    ASSERT_EQ(symlink(first.devicePath().c_str(), (byId + "pci-0000:00:16.3-serial").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent/ttyUSB9", (byId + "usb-FTDI_FT232R_USB_UART_CC000001-if00-port0").c_str()), 0);

    EXPECT_EQ(count(), 4u);
    EXPECT_EQ(serialAt(0), "AA000001");
    EXPECT_EQ(serialAt(1), "ZZ000009");
    EXPECT_EQ(serialAt(2), "VB000001");
    EXPECT_EQ(serialAt(3), "VB000002");
    EXPECT_EQ(serialAt(4), "status " + std::to_string(FT_DEVICE_NOT_FOUND));
    EXPECT_EQ(driver.FT_ListDevices(nullptr, nullptr, 0x1234), FT_INVALID_PARAMETER);
}

TEST_F(TtyDriverTest, FramesTravelBothWaysAndOpenIsByExactSerial) {
    ServedBoard board(sandbox, "VB000001");
    ASSERT_TRUE(board.started());
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(driver.FT_OpenEx(const_cast<char*>("VB00000"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver.FT_OpenEx(const_cast<char*>("VB000001"), 2, &handle), FT_INVALID_PARAMETER);
    handle = open("VB000001");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(driver.FT_SetChars(handle, 0x0D, 1, 0, 0), FT_OK);  // a pty has no latency to lower
    EXPECT_EQ(driver.FT_SetTimeouts(handle, 500, 500), FT_OK);

    // Bytes above 0x7F and CR pass untranslated in both directions.
    EXPECT_EQ(exchange(handle, "W1a5f00f\r"), "U1A5F00F\r");
    ASSERT_TRUE(board.waitForLog("command    W1a5f00f\\x0D"));
    ASSERT_TRUE(board.control("input 8000FF", "inputs     8000FF"));
    EXPECT_EQ(exchange(handle, "R0000000\r"), "R08000FF\r");
    const unsigned char raw[] = {0xFF, 0x00, '\n', '\r', 0x11, 0x13, 0x03, 0x7F, 0x80};
    ASSERT_TRUE(board.control("inject \\xFF\\x00\\n\\r\\x11\\x13\\x03\\x7F\\x80", "injected"));
    unsigned char got[9] = {};
    uint32_t count = 0;
    EXPECT_EQ(driver.FT_Read(handle, got, 9, &count), FT_OK);
    EXPECT_EQ(frameText(got, count), frameText(raw, 9));
    EXPECT_EQ(driver.FT_Close(handle), FT_OK);
}

TEST_F(TtyDriverTest, StatusCountsQueuedBytesAndReadLeavesTheRestQueued) {
    ServedBoard board(sandbox, "VB000001");
    ASSERT_TRUE(board.started());
    FT_HANDLE handle = open("VB000001");
    driver.FT_SetTimeouts(handle, 100, 100);
    EXPECT_EQ(queued(handle), 0u);
    ASSERT_TRUE(board.control("inject U00000FF\\rU00", "injected"));
    ASSERT_TRUE(eventually([&] { return queued(handle) == 12; }));
    unsigned char frame[9] = {};
    uint32_t count = 0;
    ASSERT_EQ(driver.FT_Read(handle, frame, 9, &count), FT_OK);
    EXPECT_EQ(frameText(frame, count), "U00000FF\r");
    EXPECT_EQ(queued(handle), 3u);
    // A new handle starts empty: what an earlier session left unread is not taken for a reply.
    driver.FT_Close(handle);
    handle = open("VB000001");
    EXPECT_EQ(queued(handle), 0u);
    driver.FT_Close(handle);
}

TEST_F(TtyDriverTest, ReadWaitsAtMostItsTimeOutAndReturnsWhatArrived) {
    ServedBoard board(sandbox, "VB000001");
    ASSERT_TRUE(board.started());
    ASSERT_TRUE(board.control("mute", "muted"));
    FT_HANDLE handle = open("VB000001");
    driver.FT_SetTimeouts(handle, 60, 60);
    uint32_t written = 0;
    ASSERT_EQ(driver.FT_Write(handle, "W0000001\r", 9, &written), FT_OK);
    EXPECT_EQ(written, 9u);
    ASSERT_TRUE(board.control("inject U00", "injected"));
    ASSERT_TRUE(eventually([&] { return queued(handle) == 3; }));
    unsigned char reply[9] = {};
    uint32_t count = 99;
    const long long before = test::nowMilliseconds();
    EXPECT_EQ(driver.FT_Read(handle, reply, 9, &count), FT_OK);
    const long long waited = test::nowMilliseconds() - before;
    EXPECT_EQ(frameText(reply, count), "U00");
    EXPECT_GE(waited, 55);
    EXPECT_LT(waited, 400);
    // With no time-out set, a read never waits.
    driver.FT_SetTimeouts(handle, 0, 0);
    EXPECT_EQ(driver.FT_Read(handle, reply, 9, &count), FT_OK);
    EXPECT_EQ(count, 0u);
    driver.FT_Close(handle);
}

TEST_F(TtyDriverTest, TheTickCallsAllocateNothing) {
    ServedBoard board(sandbox, "VB000001", 0);
    ASSERT_TRUE(board.started());
    FT_HANDLE handle = open("VB000001");
    driver.FT_SetTimeouts(handle, 500, 500);
    const long before = test::allocationsSoFar();
    uint32_t written = 0, waiting = 0, unsent = 0, events = 0, count = 0;
    unsigned char reply[9] = {};
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(driver.FT_Write(handle, "R0000000\r", 9, &written), FT_OK);
        ASSERT_EQ(driver.FT_GetStatus(handle, &waiting, &unsent, &events), FT_OK);
        ASSERT_EQ(driver.FT_Read(handle, reply, 9, &count), FT_OK);
        ASSERT_EQ(count, 9u);
    }
    EXPECT_EQ(test::allocationsSoFar() - before, 0);
    driver.FT_Close(handle);
}

TEST_F(TtyDriverTest, HandlesAreCheckedAndABoardOpensOnce) {
    ServedBoard board(sandbox, "VB000001");
    ASSERT_TRUE(board.started());
    FT_HANDLE handle = open("VB000001");
    FT_HANDLE again = nullptr;
    EXPECT_EQ(driver.FT_OpenEx(const_cast<char*>("VB000001"), FT_OPEN_BY_SERIAL_NUMBER, &again), FT_DEVICE_NOT_OPENED);
    TtyDriver otherProcessDriver(sandbox.locations());
    EXPECT_EQ(otherProcessDriver.FT_OpenEx(const_cast<char*>("VB000001"), FT_OPEN_BY_SERIAL_NUMBER, &again),
              FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(driver.FT_Close(handle), FT_OK);

    uint32_t value = 0;
    unsigned char bytes[9];
    EXPECT_EQ(driver.FT_Close(handle), FT_INVALID_HANDLE);
    EXPECT_EQ(driver.FT_GetStatus(handle, &value, &value, &value), FT_INVALID_HANDLE);
    EXPECT_EQ(driver.FT_Read(handle, bytes, 9, &value), FT_INVALID_HANDLE);
    EXPECT_EQ(driver.FT_Write(nullptr, bytes, 9, &value), FT_INVALID_HANDLE);
    EXPECT_EQ(driver.FT_SetTimeouts(reinterpret_cast<FT_HANDLE>(uintptr_t{0xFFFF}), 1, 1), FT_INVALID_HANDLE);
    // The slot is reused, but the old handle stays dead.
    FT_HANDLE reopened = open("VB000001");
    EXPECT_NE(reopened, handle);
    EXPECT_EQ(driver.FT_GetStatus(handle, &value, &value, &value), FT_INVALID_HANDLE);
    EXPECT_EQ(driver.FT_GetStatus(reopened, &value, &value, &value), FT_OK);
    driver.FT_Close(reopened);
}

TEST_F(TtyDriverTest, ABoardThatEndsWhileOpenFailsEveryCallUntilItIsBack) {
    auto board = std::make_unique<ServedBoard>(sandbox, "VB000001");
    ASSERT_TRUE(board->started());
    FT_HANDLE handle = open("VB000001");
    driver.FT_SetTimeouts(handle, 200, 200);
    // SIGKILL leaves its registration behind: the listing must see that it is stale.
    board->kill(SIGKILL);
    uint32_t value = 0;
    unsigned char bytes[9] = {};
    const long long before = test::nowMilliseconds();
    EXPECT_EQ(driver.FT_GetStatus(handle, &value, &value, &value), FT_IO_ERROR);
    EXPECT_EQ(driver.FT_Write(handle, "R0000000\r", 9, &value), FT_IO_ERROR);
    EXPECT_EQ(driver.FT_Read(handle, bytes, 9, &value), FT_IO_ERROR);
    EXPECT_LT(test::nowMilliseconds() - before, 100) << "a vanished board must not cost the time-outs";
    EXPECT_EQ(count(), 0u);
    FT_HANDLE again = nullptr;
    EXPECT_EQ(driver.FT_OpenEx(const_cast<char*>("VB000001"), FT_OPEN_BY_SERIAL_NUMBER, &again), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver.FT_Close(handle), FT_OK);

    board = std::make_unique<ServedBoard>(sandbox, "VB000001");
    ASSERT_TRUE(board->started());
    handle = open("VB000001");
    driver.FT_SetTimeouts(handle, 500, 500);
    EXPECT_EQ(exchange(handle, "W000000A\r"), "U000000A\r");
    driver.FT_Close(handle);
}

TEST_F(TtyDriverTest, UnplugAndPlugFromTheBoardsControls) {
    ServedBoard board(sandbox, "VB000001");
    ASSERT_TRUE(board.started());
    FT_HANDLE handle = open("VB000001");
    ASSERT_TRUE(board.control("unplug", "unplugged"));
    uint32_t value = 0;
    EXPECT_EQ(driver.FT_GetStatus(handle, &value, &value, &value), FT_IO_ERROR);
    EXPECT_EQ(count(), 0u);
    driver.FT_Close(handle);
    ASSERT_TRUE(board.control("plug", "plugged"));
    EXPECT_EQ(count(), 1u);
    handle = open("VB000001");
    driver.FT_SetTimeouts(handle, 500, 500);
    EXPECT_EQ(exchange(handle, "W0000010\r"), "U0000010\r");
    driver.FT_Close(handle);
}

TEST_F(TtyDriverTest, TheBoardServesFromEitherFaceAndWithdrawsItsRegistrationOnASignal) {
    struct Case {
        ServedBoard::Face face;
        int signalNumber;
    } cases[] = {
        {ServedBoard::Face::Headless, SIGTERM},
        {ServedBoard::Face::Headless, SIGINT},
#ifdef KT57_BOARD_HAS_PANEL
        {ServedBoard::Face::OffscreenPanel, SIGTERM},
#endif
    };
    for (const Case& c : cases) {
        ServedBoard board(sandbox, "VB000005", 20, c.face);
        ASSERT_TRUE(board.started());
        FT_HANDLE handle = open("VB000005");
        driver.FT_SetTimeouts(handle, 500, 500);
        const long long before = test::nowMilliseconds();
        EXPECT_EQ(exchange(handle, "W0FEDCBA\r"), "U0FEDCBA\r");
        EXPECT_GE(test::nowMilliseconds() - before, 19) << "the reply waits for the board's latency";
        driver.FT_Close(handle);
        board.kill(c.signalNumber);
        EXPECT_EQ(board.exitStatus(), 0);
        EXPECT_EQ(count(), 0u);
        EXPECT_NE(access((sandbox.registryDirectory() + "/VB000005").c_str(), F_OK), 0);
    }
}

}  // namespace
}  // namespace kt57
