// kt57-board --vcd against a client over the pseudo-terminal: the recording, read back by
// sigrok-cli, shows the pins the frame log shows, from either face; SIGINT and SIGTERM close it
// whole, a killed board has lost at most the last second, and an uncreatable file stops the board.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/tty_driver.h"
#include "tests/support/served_board.h"
#include "tests/support/waveform_reading.h"

namespace kt57::test {
namespace {

using Pins = std::pair<uint32_t, uint32_t>;  // outputs, inputs

struct LoggedChange {
    long long milliseconds;
    Pins pins;
};

// The pins after each "command W..." and "inputs ..." line of the frame log.
std::vector<LoggedChange> loggedChanges(const std::string& log) {
    std::vector<LoggedChange> changes;
    Pins pins {0, 0};
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string seconds, what, detail;
        if (!(words >> seconds >> what >> detail) || seconds.find('.') == std::string::npos) continue;
        if (what == "command" && detail[0] == 'W') {
            pins.first = static_cast<uint32_t>(std::stoul(detail.substr(2, 6), nullptr, 16));
        } else if (what == "inputs") {
            pins.second = static_cast<uint32_t>(std::stoul(detail, nullptr, 16));
        } else {
            continue;
        }
        const long long ms = std::atoll(seconds.c_str()) * 1000 + std::atoll(seconds.c_str() + seconds.find('.') + 1);
        changes.push_back({ms, pins});
    }
    return changes;
}

// What a session does, one step every few milliseconds so that 1 ms samples see each change.
const char* const sessionSteps[] = {"W0123456\r", "input 00FF00", "W0ABCDEF\r", "input 800001", "W0000000\r", "W0FFFFFF\r"};

class BoardWaveform : public ::testing::Test {
protected:
    std::string vcd() const { return sandbox.runtimeDirectory() + "/board.vcd"; }

    // Commands through the device link's driver; inputs from control lines, which only the
    // headless face reads. Returns the pins after each step taken.
    std::vector<Pins> drive(ServedBoard& board, bool headless) {
        std::vector<Pins> expected;
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(driver.FT_OpenEx(const_cast<char*>("VB000001"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
        EXPECT_EQ(driver.FT_SetTimeouts(handle, 1000, 1000), FT_OK);  // a read waits for the reply
        Pins pins {0, 0};
        for (const char* step : sessionSteps) {
            if (step[0] != 'W' && !headless) continue;
            const long long after = nowMilliseconds() + 3;
            EXPECT_TRUE(eventually([&] { return nowMilliseconds() >= after; }));
            if (step[0] == 'W') {
                uint32_t written = 0, got = 0;
                unsigned char reply[9];
                EXPECT_EQ(driver.FT_Write(handle, const_cast<char*>(step), 9, &written), FT_OK);
                EXPECT_EQ(driver.FT_Read(handle, reply, 9, &got), FT_OK);
                EXPECT_EQ(got, 9u) << step;  // the board took it
                if (headless) {
                    EXPECT_TRUE(board.waitForLog("command    " + std::string(step, 8))) << step;
                }
                pins.first = static_cast<uint32_t>(std::stoul(std::string(step + 2, 6), nullptr, 16));
            } else {
                EXPECT_TRUE(board.control(step, "inputs     " + std::string(step + 6))) << step;
                pins.second = static_cast<uint32_t>(std::stoul(step + 6, nullptr, 16));
            }
            expected.push_back(pins);
        }
        driver.FT_Close(handle);
        return expected;
    }

    BoardSandbox sandbox;
    TtyDriver driver {sandbox.locations()};
};

TEST_F(BoardWaveform, SigrokReadsThePinsTheFrameLogShowsAndASignalClosesTheFileWhole) {
    struct Case {
        const char* name;
        ServedBoard::Face face;
        int signal;
    };
    std::vector<Case> cases {{"headless, SIGTERM", ServedBoard::Face::Headless, SIGTERM},
                             {"headless, SIGINT", ServedBoard::Face::Headless, SIGINT}};
#ifdef KT57_BOARD_HAS_PANEL
    cases.push_back({"panel, SIGTERM", ServedBoard::Face::OffscreenPanel, SIGTERM});
#endif
    const bool haveSigrok = sigrokAvailable();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool headless = c.face == ServedBoard::Face::Headless;
        ServedBoard board(sandbox, "VB000001", 1, c.face, vcd());
        ASSERT_TRUE(board.started());
        const std::vector<Pins> steps = drive(board, headless);
        if (HasFailure()) return;
        board.kill(c.signal);
        EXPECT_EQ(board.exitStatus(), 0);

        // As written: microseconds, the pins alone; on the headless face each change is where the
        // frame log puts it, and the log's pins are the ones the session set.
        const VcdText written = parseVcd(readText(vcd()));
        ASSERT_EQ(written.error, "");
        EXPECT_EQ(written.timescale, "1 us");
        EXPECT_EQ(written.kinds.size(), 48u);
        EXPECT_EQ(written.kinds.count("running"), 0u);
        ASSERT_FALSE(written.changes.empty());
        EXPECT_GT(written.lastTime, written.changes.back().time);  // closed with its last timestamp
        if (headless) {
            const std::vector<LoggedChange> logged = loggedChanges(board.log());
            std::vector<Pins> loggedPins;
            for (const LoggedChange& entry : logged) loggedPins.push_back(entry.pins);
            EXPECT_EQ(loggedPins, steps) << board.log();
            for (const VcdChange& change : written.changes) {
                bool nearALoggedChange = false;
                for (const LoggedChange& entry : logged) {
                    nearALoggedChange |= std::llabs(change.time / 1000 - entry.milliseconds) <= 2;
                }
                EXPECT_TRUE(nearALoggedChange) << change.name << " at " << change.time << " us";
            }
        }

        if (!haveSigrok) continue;
        const SigrokSamples samples = readWithSigrok(vcd(), 1000);
        ASSERT_EQ(samples.error, "");
        EXPECT_EQ(samples.samplerate, 1000);
        std::vector<Pins> seen;
        for (size_t row = 0; row < samples.rows.size(); ++row) {
            const Pins pins {samples.bits(row, "out", 24), samples.bits(row, "in", 24)};
            if (seen.empty() || pins != seen.back()) seen.push_back(pins);
        }
        std::vector<Pins> expected {{0, 0}};
        expected.insert(expected.end(), steps.begin(), steps.end());
        EXPECT_EQ(seen, expected);
    }
}

// Flushed within about a second with nothing else happening, so SIGKILL loses no more than that.
TEST_F(BoardWaveform, AKilledBoardHasWrittenWhatCameMoreThanASecondBefore) {
    ServedBoard board(sandbox, "VB000001", 1, ServedBoard::Face::Headless, vcd());
    ASSERT_TRUE(board.started());
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(driver.FT_OpenEx(const_cast<char*>("VB000001"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    uint32_t written = 0;
    ASSERT_EQ(driver.FT_Write(handle, const_cast<char*>("W0000001\r"), 9, &written), FT_OK);
    ASSERT_TRUE(board.waitForLog("command    W0000001"));
    auto recorded = [&] {
        for (const VcdChange& change : parseVcd(readText(vcd())).changes) {
            if (change.name == "out0" && change.value == '1') return true;
        }
        return false;
    };
    EXPECT_TRUE(eventually(recorded, 1500));
    board.kill(SIGKILL);
    EXPECT_EQ(parseVcd(readText(vcd())).error, "");
}

TEST_F(BoardWaveform, AFileThatCannotBeCreatedStopsTheBoardWithItsOwnStatus) {
    ServedBoard board(sandbox, "VB000001", 1, ServedBoard::Face::Headless, sandbox.runtimeDirectory() + "/missing/b.vcd");
    EXPECT_FALSE(board.started());
    board.kill(SIGTERM);
    EXPECT_EQ(board.exitStatus(), 6);
}

}  // namespace
}  // namespace kt57::test
