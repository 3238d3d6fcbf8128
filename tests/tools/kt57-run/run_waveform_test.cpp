// kt57-run --vcd as a user runs it: the file read back by sigrok-cli agrees with the trace at every
// millisecond, the error stops are one-millisecond pulses at the trace's times and nothing else, the
// trace itself is unchanged, a long run stays small, and a file that cannot be written says so with
// its own exit status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/waveform_reading.h"

namespace kt57::test {
namespace {

struct ToolResult {
    int status;
    std::string out;
    std::string err;
};

struct TraceLine {
    long long ms;
    std::string what;
    std::string rest;
};

std::vector<TraceLine> traceLines(const std::string& trace) {
    std::vector<TraceLine> lines;
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ' ') continue;  // a screen's rows
        std::istringstream words(line);
        TraceLine parsed;
        words >> parsed.ms >> parsed.what;
        std::getline(words >> std::ws, parsed.rest);
        lines.push_back(parsed);
    }
    return lines;
}

// "next=24 current=23 ... count=32 ..." -> the number after name=.
long long stateField(const std::string& state, const std::string& name) {
    const size_t at = state.find(" " + name + "=");
    return at == std::string::npos ? -1 : std::atoll(state.c_str() + at + name.size() + 2);
}

// A W or R frame, or its U or R reply, as the trace prints it: a letter, the board digit, six
// hexadecimal digits of pins, "\x0D".
uint32_t framePins(const std::string& frame) { return static_cast<uint32_t>(std::stoul(frame.substr(2, 6), nullptr, 16)); }

class RunWaveform : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kt57-run-waveform-XXXXXX";
        folder = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    ToolResult tool(const std::string& arguments) {
        const std::string out = folder + "/stdout";
        const std::string err = folder + "/stderr";
        const std::string command = std::string("'") + KT57_RUN_BINARY + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(out), readText(err)};
    }
    std::string program(const std::string& name, const std::string& text) {
        const std::string directory = folder + "/" + name;
        std::filesystem::create_directory(directory);
        std::ofstream(directory + "/KT57Data.txt") << text;
        return directory;
    }
    std::string file(const std::string& name, const std::string& text) {
        std::ofstream(folder + "/" + name) << text;
        return folder + "/" + name;
    }
    std::string vcd() const { return folder + "/out.vcd"; }

    std::string folder;
};

#define SKIP_WITHOUT_SIGROK() \
    if (!sigrokAvailable()) GTEST_SKIP() << "sigrok-cli is not installed"

// The board's pins each millisecond as the trace has them: the outputs a W command gave the board
// and the inputs the events file gave it. What the board answered must agree as well.
TEST_F(RunWaveform, DemoReadBySigrokAgreesWithTheTraceAtEveryMillisecond) {
    SKIP_WITHOUT_SIGROK();
    constexpr long long until = 10000;
    const ToolResult run = tool("--vcd '" + vcd() + "' --events '" KT57_WAVEFORM_EVENTS "' --until 10000 '" KT57_DEMO_DIR "'");
    ASSERT_EQ(run.status, 0) << run.err;
    const SigrokSamples samples = readWithSigrok(vcd());
    ASSERT_EQ(samples.error, "");
    EXPECT_EQ(samples.samplerate, 1000);
    for (int pin = 0; pin < 24; ++pin) {
        EXPECT_GE(samples.channel("out" + std::to_string(pin)), 0) << pin;
        EXPECT_GE(samples.channel("in" + std::to_string(pin)), 0) << pin;
    }
    ASSERT_EQ(samples.rows.size(), static_cast<size_t>(until + 1));  // 0 to --until, inclusive

    std::multimap<long long, std::pair<char, uint32_t>> given;  // ms -> ('o' or 'i', pins)
    std::ifstream events(KT57_WAVEFORM_EVENTS);
    std::string line;
    while (std::getline(events, line)) {
        std::istringstream words(line);
        long long ms = 0;
        std::string event, value;
        if (words >> ms >> event >> value && event == "input") given.insert({ms, {'i', std::stoul(value, nullptr, 16)}});
    }
    const std::vector<TraceLine> trace = traceLines(run.out);
    long long lastSend = -1;
    char lastCommand = 0;
    int answers = 0;
    for (const TraceLine& entry : trace) {
        if (entry.what == "send") {
            ASSERT_TRUE(entry.rest[0] == 'W' || entry.rest[0] == 'R') << entry.rest;
            if (entry.rest[0] == 'W') given.insert({entry.ms, {'o', framePins(entry.rest)}});
            lastSend = entry.ms;
            lastCommand = entry.rest[0];
        } else if (entry.what == "recv") {
            // A reply tells the pins as they were when the command was taken.
            ASSERT_GE(lastSend, 0);
            const std::string pins = lastCommand == 'W' ? "out" : "in";
            EXPECT_EQ(samples.bits(static_cast<size_t>(lastSend), pins, 24), framePins(entry.rest))
                << entry.ms << " recv " << entry.rest;
            ++answers;
        }
    }
    EXPECT_GT(answers, 20);

    uint32_t outputs = 0, inputs = 0;
    auto next = given.begin();
    int outputChanges = 0, inputChanges = 0;
    for (long long ms = 0; ms <= until; ++ms) {
        for (; next != given.end() && next->first == ms; ++next) {
            uint32_t& pins = next->second.first == 'o' ? outputs : inputs;
            int& changes = next->second.first == 'o' ? outputChanges : inputChanges;
            changes += pins != next->second.second;
            pins = next->second.second;
        }
        const size_t row = static_cast<size_t>(ms);
        ASSERT_EQ(samples.bits(row, "out", 24), outputs) << "at " << ms << " ms";
        ASSERT_EQ(samples.bits(row, "in", 24), inputs) << "at " << ms << " ms";
    }
    EXPECT_GT(outputChanges, 20);
    EXPECT_EQ(inputChanges, 6);

    // The line being executed, numbered as the screen numbers it (the state's index + 1), or 0 while
    // stopped, and the running state, where the trace prints the state.
    int states = 0;
    for (const TraceLine& entry : trace) {
        if (entry.what != "state") continue;
        const size_t row = static_cast<size_t>(entry.ms);
        const bool running = stateField(entry.rest, "next") < stateField(entry.rest, "count");
        EXPECT_EQ(samples.bits(row, "line", 9, true), running ? stateField(entry.rest, "current") + 1 : 0) << entry.ms;
        EXPECT_EQ(samples.rows[row][static_cast<size_t>(samples.channel("running"))], running) << entry.ms;
        ++states;
    }
    EXPECT_EQ(states, 3);

    // No error happened, so every error wire reads 0 throughout.
    for (const char* name : {"error_data", "error_loop", "error_device"}) {
        const int channel = samples.channel(name);
        ASSERT_GE(channel, 0) << name;
        for (size_t row = 0; row < samples.rows.size(); ++row) ASSERT_FALSE(samples.rows[row][static_cast<size_t>(channel)]) << name << " at " << row;
    }
}

TEST_F(RunWaveform, TheTraceAndExitStatusAreTheSameWithTheWaveform) {
    const std::string arguments = "--events '" KT57_WAVEFORM_EVENTS "' --until 12000 --board-serial VB000001 '" KT57_DEMO_DIR "'";
    const ToolResult plain = tool(arguments);
    const ToolResult recorded = tool("--vcd '" + vcd() + "' " + arguments);
    EXPECT_EQ(recorded.status, plain.status);
    EXPECT_EQ(recorded.out, plain.out);
    EXPECT_EQ(recorded.err, plain.err);
    EXPECT_EQ(parseVcd(readText(vcd())).error, "");
}

// Each error stop is a one-millisecond pulse on its kind's wire at the trace's time, and only there
// (as the file has it and as sigrok reads it); the program stops running there.
TEST_F(RunWaveform, ErrorStopsArePulsesAtTheTimesTheTraceGives) {
    const struct {
        const char* kind;
        const char* program;
        const char* events;
    } cases[] = {
        {"data", "010 W0000001\n    SLP 0.1\n    JMP 010\n", "1500 mute\n"},
        {"loop", "010 OR  000001\n    JMP 010\n", ""},
        {"device", "010 W0000001\n", "0 fail open\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string directory = program(c.kind, c.program);
        const std::string events = file(std::string(c.kind) + "-events.txt", c.events);
        const ToolResult run = tool("--vcd '" + vcd() + "' --events '" + events + "' --until 20000 '" + directory + "'");
        ASSERT_EQ(run.status, 0) << run.err;
        long long errorAt = -1;
        for (const TraceLine& entry : traceLines(run.out)) {
            if (entry.what == "error") {
                EXPECT_EQ(entry.rest, c.kind);
                errorAt = entry.ms;
            }
        }
        ASSERT_GE(errorAt, 0) << run.out;

        const std::string pulsed = std::string("error_") + c.kind;
        const VcdText written = parseVcd(readText(vcd()));
        ASSERT_EQ(written.error, "");
        for (const VcdChange& start : written.initial) {
            if (start.name.rfind("error_", 0) == 0) {
                EXPECT_EQ(start.value, '0') << start.name;
            }
        }
        std::vector<std::pair<long long, char>> edges;
        long long stoppedAt = -1;
        for (const VcdChange& change : written.changes) {
            EXPECT_EQ(written.kinds.at(change.name), "wire") << change.name;
            if (change.name.rfind("error_", 0) == 0) {
                EXPECT_EQ(change.name, pulsed);
                edges.push_back({change.time, change.value});
            }
            if (change.name == "running" && change.value == '0') stoppedAt = change.time;
        }
        const std::vector<std::pair<long long, char>> pulse = {{errorAt, '1'}, {errorAt + 1, '0'}};
        EXPECT_EQ(edges, pulse);
        EXPECT_EQ(stoppedAt, errorAt);

        if (!sigrokAvailable()) continue;
        const SigrokSamples samples = readWithSigrok(vcd());
        ASSERT_EQ(samples.error, "");
        for (const char* name : {"error_data", "error_loop", "error_device"}) {
            const int channel = samples.channel(name);
            ASSERT_GE(channel, 0) << name;
            for (size_t row = 0; row < samples.rows.size(); ++row) {
                const bool high = pulsed == name && static_cast<long long>(row) == errorAt;
                ASSERT_EQ(samples.rows[row][static_cast<size_t>(channel)], high) << name << " at " << row;
            }
        }
        // Stopped, no line runs: the line reads 0 from the stop on.
        for (size_t row = static_cast<size_t>(errorAt); row < samples.rows.size(); ++row) {
            ASSERT_EQ(samples.bits(row, "line", 9, true), 0u) << "at " << row;
        }
    }
}

// Ten hours in virtual time of a program that toggles an output every 100 s: the file holds the
// changes, not ten hours of milliseconds.
TEST_F(RunWaveform, ALongRunGivesAFileSizedByItsChanges) {
    const std::string directory = program("slow", "010 W0000001\n    SLP 100\n    W0000000\n    SLP 100\n    JMP 010\n");
    const ToolResult run = tool("--vcd '" + vcd() + "' --until 36000000 '" + directory + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    const VcdText written = parseVcd(readText(vcd()));
    ASSERT_EQ(written.error, "");
    EXPECT_EQ(written.lastTime, 36000001);
    int outputChanges = 0;
    for (const VcdChange& change : written.changes) outputChanges += change.name == "out0";
    EXPECT_EQ(outputChanges, 360);
    EXPECT_LT(written.changes.size(), 2000u);
}

TEST_F(RunWaveform, AFileThatCannotBeWrittenGivesOneLineAndItsOwnExitStatus) {
    const std::string directory = program("demo", "010 W0000001\n    SLP 0.1\n    W0000000\n    SLP 0.1\n    JMP 010\n");
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {{"/dev/full", "cannot write: No space left on device"},
                 {folder + "/missing/out.vcd", "cannot create: No such file or directory"}};
    for (const auto& c : cases) {
        const ToolResult run = tool("--vcd '" + c.path + "' --until 5000 '" + directory + "'");
        EXPECT_EQ(run.status, 3) << c.path;
        EXPECT_EQ(run.err, "kt57-run: " + c.path + ": " + c.reason + "\n");
    }
    EXPECT_EQ(tool("'" + directory + "' --vcd").status, 2);
}

}  // namespace
}  // namespace kt57::test
