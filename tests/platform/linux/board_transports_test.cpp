// One table of cases against every transport of the virtual board: the in-process driver, the
// pseudo-terminal server opened through a TtyDriver, and the substitute FTD2XX.dll's entry points
// built natively. Each case drives the board through the eight calls as the sequencer would, and
// changes it with control lines; time is virtual for all three.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "board/apply_board_control.h"
#include "board/board_control.h"
#include "board/virtual_board.h"
#include "platform/linux/tty_driver.h"
#include "platform/win32/substitute/substitute_driver.h"
#include "tests/support/device_test_doubles.h"
#include "tests/support/served_board.h"
#include "tools/kt57-board/pty_board.h"

namespace kt57 {
namespace {

// One transport as a case sees it.
class Transport {
public:
    virtual ~Transport() = default;
    virtual BoardSession& session() = 0;
    virtual FtDriver& driver() = 0;
    // Whether write, read and status faults come back as failed calls. Over a terminal the kernel
    // answers those calls, so the board can only take nothing or send nothing.
    virtual bool reportsCallFaults() const = 0;
    // Lets the board take what was written and the sequencer's side receive what was sent.
    virtual void settle(uint64_t bytesWritten) = 0;
    // A handle was opened: nothing sent before it can still arrive.
    virtual void opened() {}
    // Bytes that have reached the sequencer's side and have not been read yet.
    virtual std::string arrived(FT_HANDLE handle) {
        char buffer[1024];
        uint32_t count = 0;
        if (driver().FT_Read(handle, buffer, sizeof buffer, &count) != FT_OK) return "";
        return std::string(buffer, count);
    }

    test::TestClock clock;
};

class InProcess : public Transport {
public:
    BoardSession& session() override { return board_.session; }
    FtDriver& driver() override { return board_; }
    bool reportsCallFaults() const override { return true; }
    void settle(uint64_t) override {}

private:
    VirtualBoard board_{clock};
};

// The eight calls through the DLL's export bodies, with its DWORDs.
class SubstituteDll : public Transport, private FtDriver {
public:
    SubstituteDll() {
        dll_.setDirectory((directory_.path() + "/").c_str());
        uint32_t count = 0;
        dll_.listDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);  // the DLL's first call reads its (absent) file
    }
    BoardSession& session() override { return dll_.session(); }
    FtDriver& driver() override { return *this; }
    bool reportsCallFaults() const override { return true; }
    void settle(uint64_t) override {}

private:
    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override {
        return static_cast<FT_STATUS>(dll_.listDevices(arg1, arg2, flags));
    }
    FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override {
        return static_cast<FT_STATUS>(dll_.openEx(arg, flags, handle));
    }
    FT_STATUS FT_SetChars(FT_HANDLE handle, unsigned char a, unsigned char b, unsigned char c, unsigned char d) override {
        return static_cast<FT_STATUS>(dll_.setChars(handle, a, b, c, d));
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) override {
        return static_cast<FT_STATUS>(dll_.setTimeouts(handle, readTimeout, writeTimeout));
    }
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rx, uint32_t* tx, uint32_t* events) override {
        Dword r = 0, t = 0, e = 0;
        const Dword status = dll_.getStatus(handle, rx ? &r : nullptr, tx ? &t : nullptr, events ? &e : nullptr);
        if (status == FT_OK) *rx = static_cast<uint32_t>(r), *tx = static_cast<uint32_t>(t), *events = static_cast<uint32_t>(e);
        return static_cast<FT_STATUS>(status);
    }
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t size, uint32_t* returned) override {
        Dword count = 0;
        const Dword status = dll_.read(handle, buffer, size, &count);
        *returned = static_cast<uint32_t>(count);
        return static_cast<FT_STATUS>(status);
    }
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t size, uint32_t* written) override {
        Dword count = 0;
        const Dword status = dll_.write(handle, const_cast<void*>(buffer), size, &count);
        *written = static_cast<uint32_t>(count);
        return static_cast<FT_STATUS>(status);
    }
    FT_STATUS FT_Close(FT_HANDLE handle) override { return static_cast<FT_STATUS>(dll_.close(handle)); }

    const kt57::support::ScratchDirectory directory_{"kt57-dll"};
    SubstituteDriver dll_{clock};
};

// The board on a real pseudo-terminal, served in this process in virtual time, and the sequencer's
// side a TtyDriver that finds it through the registry.
class PseudoTerminal : public Transport {
public:
    PseudoTerminal() {
        char error[300] = {};
        EXPECT_TRUE(board_.plug(error, sizeof error)) << error;
    }
    BoardSession& session() override { return board_.session; }
    FtDriver& driver() override { return driver_; }
    bool reportsCallFaults() const override { return false; }
    void settle(uint64_t bytesWritten) override {
        // The terminal passes bytes on in the kernel's own time: wait for them, with a deadline.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        do {
            board_.service();
        } while (board_.bytesRead() < bytesWritten && std::chrono::steady_clock::now() < deadline);
        board_.service();
    }
    // The tty driver empties the terminal's queues as it opens.
    void opened() override { received_ = board_.bytesSent(); }
    std::string arrived(FT_HANDLE handle) override {
        settle(board_.bytesRead());
        std::string bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (received_ + bytes.size() < board_.bytesSent() && std::chrono::steady_clock::now() < deadline) {
            char buffer[1024];
            uint32_t count = 0;
            if (driver_.FT_Read(handle, buffer, sizeof buffer, &count) != FT_OK) break;
            bytes.append(buffer, count);
        }
        received_ += bytes.size();
        return bytes;
    }

private:
    test::BoardSandbox sandbox_;
    PtyBoard board_{sandbox_.registryDirectory().c_str(), clock};
    TtyDriver driver_{sandbox_.locations()};
    uint64_t received_ = 0;
};

enum class Do : uint8_t {
    Control,         // a control line on the session
    Open,            // opens the handle the next steps use; expects success
    OpenFails,       // an open that must fail
    Write,           // writes text, expects success
    WriteFails,      // writes text; the board must take nothing (and the call fails where it can say so)
    Advance,         // number ms of virtual time
    Arrived,         // the bytes that reached the sequencer since the last look are text
    Outputs,         // the board's outputs are number
    Listed,          // the board lists number devices
    CallsFail,       // every call on the handle fails
    StatusFails,     // only where faults come back as call results
    StatusCounts,    // the status call counts number queued bytes
};

struct Step {
    Do what;
    std::string text;
    int number = 0;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

Step control(const char* line) { return {Do::Control, line}; }
Step write(std::string bytes) { return {Do::Write, std::move(bytes)}; }
Step arrived(std::string bytes) { return {Do::Arrived, std::move(bytes)}; }
Step advance(int milliseconds) { return {Do::Advance, "", milliseconds}; }
Step outputs(int value) { return {Do::Outputs, "", value}; }
Step listed(int count) { return {Do::Listed, "", count}; }
const Step open{Do::Open, ""};

std::string times(int count, const std::string& text) {
    std::string all;
    for (int i = 0; i < count; ++i) all += text;
    return all;
}

const Case cases[] = {
    {"AReplyArrivesAfterTheLatencyWithThePinsOfItsWrite",
     {control("latency 30"), control("input 00C0DE"), open, write("R5000000\r"), control("input 111111"),
      advance(29), arrived(""), advance(1), arrived("R500C0DE\r")}},
    {"ZeroLatencyAnswersAtOnce", {control("latency 0"), open, write("W0abcdef\r"), arrived("U0ABCDEF\r"), outputs(0xABCDEF)}},
    {"WrittenBytesAreCutIntoNinesAcrossWrites",
     {control("latency 0"), open, write("W000"), arrived(""), write("0001\r"), arrived("U0000001\r"),
      write("W0000002\rW0000003\rR0"), arrived("U0000002\rU0000003\r"), write("000000\r"), arrived("R0000000\r")}},
    {"AnEarlyCrDoesNotResynchroniseTheFrames",
     {control("latency 0"), open, write("AB\r"), write("W0000005\r"), write("W0000006\r"), arrived(""), outputs(0),
      write("ZZZZZZ"), write("W0000007\r"), arrived("U0000007\r"), outputs(7)}},
    {"RepliesEnterByDueTimeAndTiesKeepWriteOrder",
     {control("latency 20"), open, write("W0000001\r"), control("latency 5"), write("W0000002\r"),
      write("W0000003\r"), advance(20), arrived("U0000002\rU0000003\rU0000001\r")}},
    {"MuteCountsAtTheWriteAndStillSetsTheOutputs",
     {open, write("R0000000\r"), control("mute"), write("W0000042\r"), control("unmute"), advance(10),
      arrived("R0000000\r"), outputs(0x42)}},
    {"InjectedBytesComeAfterTheRepliesAlreadyDue",
     {control("latency 0"), open, write("R0000000\r"), control("inject xy\\x0D"), arrived("R0000000\rxy\r"),
      control("latency 10"), write("R0000000\r"), control("inject ab"), advance(10), arrived("abR0000000\r")}},
    {"AFailingWriteTakesNothing",
     {control("latency 0"), open, control("fail write"), {Do::WriteFails, "W0000001\r"}, control("heal write"),
      arrived(""), outputs(0), write("W0000002\r"), arrived("U0000002\r")}},
    {"AFailingReadLeavesTheQueueAsItWas",
     {control("latency 0"), open, control("fail read"), write("R0000000\r"), arrived(""), control("heal read"),
      arrived("R0000000\r")}},
    {"AFailingOpenLeavesTheBoardListed",
     {control("fail open"), listed(1), {Do::OpenFails, ""}, control("heal open"), open, write("R0000000\r"),
      advance(1), arrived("R0000000\r")}},
    {"UnplugKillsTheHandleForGoodAndKeepsThePins",
     {control("latency 0"), control("input 0000AA"), open, write("W0000055\r"), control("latency 10"),
      write("R0000000\r"), control("unplug"), listed(0), {Do::CallsFail, ""}, {Do::OpenFails, ""}, control("plug"),
      {Do::CallsFail, ""}, listed(1), outputs(0x55), open, advance(20), arrived(""), write("R0000000\r"),
      advance(10), arrived("R00000AA\r")}},
    {"RepliesBeyondThePendingTableAreLost",
     {control("latency 10"), open, write(times(BoardSession::pendingCapacity + 4, "R0000000\r")), advance(10),
      arrived(times(BoardSession::pendingCapacity, "R0000000\r"))}},
    {"AFailingStatusCallAndTheCountItGives",
     {control("latency 0"), open, write("R0000000\r"), {Do::StatusCounts, "", 9}, control("fail status"),
      {Do::StatusFails, ""}, control("heal status"), {Do::StatusCounts, "", 9}}},
};

template <typename T>
class BoardTransports : public testing::TestWithParam<Case> {
protected:
    void run(const Case& c) {
        T transport;
        FtDriver& driver = transport.driver();
        FT_HANDLE handle = nullptr;
        uint64_t written = 0;
        int index = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE("step " + std::to_string(index++) + " " + step.text);
            switch (step.what) {
            case Do::Control: {
                const BoardControl control = parseBoardControl(step.text.c_str(), BoardControlFace::Console);
                ASSERT_NE(control.kind, BoardControlKind::Invalid);
                ASSERT_TRUE(applyBoardControl(transport.session(), control));
                transport.settle(written);
                break;
            }
            case Do::Open:
            case Do::OpenFails: {
                char serial[] = "VB000001";
                FT_HANDLE opened = nullptr;
                const FT_STATUS status = driver.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &opened);
                if (step.what == Do::OpenFails) {
                    EXPECT_NE(status, FT_OK);
                    if (status == FT_OK) driver.FT_Close(opened);
                } else {
                    ASSERT_EQ(status, FT_OK);
                    handle = opened;
                    transport.opened();
                }
                break;
            }
            case Do::Write:
            case Do::WriteFails: {
                uint32_t count = 0;
                const FT_STATUS status = driver.FT_Write(handle, step.text.data(), static_cast<uint32_t>(step.text.size()), &count);
                if (step.what == Do::Write || !transport.reportsCallFaults()) {
                    ASSERT_EQ(status, FT_OK);
                    written += step.text.size();
                } else {
                    EXPECT_EQ(status, FT_IO_ERROR);
                }
                transport.settle(written);
                break;
            }
            case Do::Advance:
                transport.clock.now += step.number;
                transport.settle(written);
                break;
            case Do::Arrived:
                EXPECT_EQ(transport.arrived(handle), step.text);
                break;
            case Do::Outputs:
                EXPECT_EQ(transport.session().model.outputs, static_cast<uint32_t>(step.number));
                break;
            case Do::Listed: {
                uint32_t count = 99;
                ASSERT_EQ(driver.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
                EXPECT_EQ(count, static_cast<uint32_t>(step.number));
                break;
            }
            case Do::CallsFail: {
                uint32_t count = 0;
                char buffer[9];
                EXPECT_NE(driver.FT_Write(handle, "R0000000\r", 9, &count), FT_OK);
                EXPECT_NE(driver.FT_Read(handle, buffer, sizeof buffer, &count), FT_OK);
                break;
            }
            case Do::StatusFails:
            case Do::StatusCounts: {
                if (!transport.reportsCallFaults()) break;
                uint32_t rx = 0, tx = 0, events = 0;
                const FT_STATUS status = driver.FT_GetStatus(handle, &rx, &tx, &events);
                if (step.what == Do::StatusFails) {
                    EXPECT_EQ(status, FT_IO_ERROR);
                } else {
                    ASSERT_EQ(status, FT_OK);
                    EXPECT_EQ(rx, static_cast<uint32_t>(step.number));
                }
                break;
            }
            }
            if (HasFatalFailure()) return;
        }
    }
};

std::string caseName(const testing::TestParamInfo<Case>& info) { return info.param.name; }

using InProcessBoard = BoardTransports<InProcess>;
using PseudoTerminalBoard = BoardTransports<PseudoTerminal>;
using SubstituteDllBoard = BoardTransports<SubstituteDll>;

TEST_P(InProcessBoard, Case) { run(GetParam()); }
TEST_P(PseudoTerminalBoard, Case) { run(GetParam()); }
TEST_P(SubstituteDllBoard, Case) { run(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Table, InProcessBoard, testing::ValuesIn(cases), caseName);
INSTANTIATE_TEST_SUITE_P(Table, PseudoTerminalBoard, testing::ValuesIn(cases), caseName);
INSTANTIATE_TEST_SUITE_P(Table, SubstituteDllBoard, testing::ValuesIn(cases), caseName);

}  // namespace
}  // namespace kt57
