// Every opcode against the registers: effect, next line and outcome.
#include <gtest/gtest.h>

#include <string>

#include "sequencer/instruction_set.h"
#include "sequencer/loader.h"
#include "sequencer/opcode.h"
#include "sequencer/sleep_time.h"

namespace kt57 {
namespace {

// The line under test is line 1 of a program whose line 0 bears label 5 and whose line 2 is the last.
struct OpCase {
    const char* line;
    MachineState before;
    MachineState after;
    int32_t nextLine;  // -2 = lineCount (the end)
    LineOutcome outcome;
};

constexpr int32_t end = -2;
//                                   in        out       pol       cond flags     loop
constexpr MachineState zero{};
constexpr MachineState input00F0{0x0000F0, 0, 0, 0, 0, 0};
constexpr MachineState conditionSet{0, 0, 0, 1, 0, 0};

const OpCase opCases[] = {
    {"JMP 005", zero, zero, 0, LineOutcome::Executed},
    {"JMP 000", zero, zero, end, LineOutcome::Executed},
    {"POL 000000", {0, 0, 0x123, 0, 0, 0}, zero, 2, LineOutcome::Executed},
    {"POL 00FF00", zero, {0, 0, 0x00FF00, 0, 0, 0}, 2, LineOutcome::Executed},
    {"POL 00ff00", {0, 0, 0x123, 0, 0, 0}, {0, 0, 0x123, 0, 0, 0}, 2, LineOutcome::Executed},
    {"AND 000000", zero, conditionSet, 2, LineOutcome::Executed},
    {"AND 0000FF", {0x0000F0, 0, 0, 1, 0, 0}, input00F0, 2, LineOutcome::Executed},
    {"AND 0000F0", {0x0000FF, 0, 0, 0, 0, 0}, {0x0000FF, 0, 0, 1, 0, 0}, 2, LineOutcome::Executed},
    {"AND 0000f0", {0x0000FF, 0, 0, 0, 0, 0}, {0x0000FF, 0, 0, 0, 0, 0}, 2, LineOutcome::Executed},
    {"OR  000000", {0xFFFFFF, 0, 0, 1, 0, 0}, {0xFFFFFF, 0, 0, 0, 0, 0}, 2, LineOutcome::Executed},
    {"OR  0000FF", input00F0, {0x0000F0, 0, 0, 1, 0, 0}, 2, LineOutcome::Executed},
    {"OR 0000FF", input00F0, {0x0000F0, 0, 0, 1, 0, 0}, 2, LineOutcome::Executed},
    {"OR 00FF00", {0x0000F0, 0, 0, 1, 0, 0}, input00F0, 2, LineOutcome::Executed},
    {"JNG 005", zero, zero, 0, LineOutcome::Executed},
    {"JNG 005", conditionSet, conditionSet, 2, LineOutcome::Executed},
    {"JOK 005", conditionSet, conditionSet, 0, LineOutcome::Executed},
    {"JOK 005", zero, zero, 2, LineOutcome::Executed},
    {"AN@ 00FF00", {0, 0x123456, 0, 0, 0, 0}, {0, 0x003400, 0, 0, 0, 0}, 2, LineOutcome::Executed},
    {"AN@ 000000", {0, 0x123456, 0, 0, 0, 0}, zero, 2, LineOutcome::Executed},
    {"OR@ 000001", {0, 0x000100, 0, 0, 0, 0}, {0, 0x000101, 0, 0, 0, 0}, 2, LineOutcome::Executed},
    {"OR@ 00000g", {0, 0x000100, 0, 0, 0, 0}, {0, 0x000100, 0, 0, 0, 0}, 2, LineOutcome::Executed},
    {"SET 12", zero, {0, 0, 0, 0, 0, 12}, 2, LineOutcome::Executed},
    {"SET 012", zero, {0, 0, 0, 0, 0, 12}, 2, LineOutcome::Executed},
    {"SET 1234", zero, {0, 0, 0, 0, 0, 123}, 2, LineOutcome::Executed},
    {"SET 000", {0, 0, 0, 0, 0, 7}, {0, 0, 0, 0, 0, 7}, 2, LineOutcome::Executed},
    {"SET  12", {0, 0, 0, 0, 0, 7}, {0, 0, 0, 0, 0, 7}, 2, LineOutcome::Executed},
    {"DEC", {0, 0, 0, 0, 0, 2}, {0, 0, 0, 0, 0, 1}, 2, LineOutcome::Executed},
    {"DEC", {0, 0, 0, 0, 0, 1}, zero, 2, LineOutcome::Executed},
    {"DEC", zero, zero, 2, LineOutcome::Executed},
    {"JNZ 005", {0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 1}, 0, LineOutcome::Executed},
    {"JNZ 005", zero, zero, 2, LineOutcome::Executed},
    {"JZ  005", zero, zero, 0, LineOutcome::Executed},
    {"JZ 005", zero, zero, 0, LineOutcome::Executed},
    {"JZ 005", {0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 1}, 2, LineOutcome::Executed},
    {"FST 000100", {0, 0, 0, 0, 0x1, 0}, {0, 0, 0, 0, 0x101, 0}, 2, LineOutcome::Executed},
    {"FST 000000", {0, 0, 0, 0, 0x1, 0}, {0, 0, 0, 0, 0x1, 0}, 2, LineOutcome::Executed},
    {"FMK 0000FF", {0, 0, 0, 0, 0x301, 0}, {0, 0, 0, 0, 0x001, 0}, 2, LineOutcome::Executed},
    {"FMK 000000", {0, 0, 0, 0, 0x301, 0}, {0, 0, 0, 0, 0x301, 0}, 2, LineOutcome::Executed},
    {"FCH 000100", {0, 0, 0, 0, 0x301, 0}, {0, 0, 0, 1, 0x301, 0}, 2, LineOutcome::Executed},
    {"FCH 000010", {0, 0, 0, 1, 0x301, 0}, {0, 0, 0, 0, 0x301, 0}, 2, LineOutcome::Executed},
    {"FCH 000000", {0, 0, 0, 1, 0x301, 0}, {0, 0, 0, 1, 0x301, 0}, 2, LineOutcome::Executed},
    {"FCH 0001x0", {0, 0, 0, 1, 0x301, 0}, {0, 0, 0, 1, 0x301, 0}, 2, LineOutcome::Executed},
    {"NOP", zero, zero, 2, LineOutcome::Executed},
    {"SLP 0.05", zero, zero, 2, LineOutcome::Skipped},
    {"", zero, zero, 2, LineOutcome::Skipped},
    {"W0000001", {1, 2, 3, 1, 5, 6}, {1, 2, 3, 1, 5, 6}, 1, LineOutcome::DeviceCommand},
};

bool sameRegisters(const MachineState& a, const MachineState& b) {
    return a.inputRegister == b.inputRegister && a.outputRegister == b.outputRegister &&
           a.polarityMask == b.polarityMask && a.conditionFlag == b.conditionFlag &&
           a.flagRegister == b.flagRegister && a.loopCounter == b.loopCounter;
}

ProgramStore programAround(const std::string& line) {
    const std::string source = "005 NOP\n" + line + "\nNOP\n";
    ProgramStore store{};
    loadProgramBytes(store, source.data(), source.size());
    return store;
}

TEST(ExecuteLine, EachOpcodeChangesItsRegistersAndPicksTheNextLine) {
    for (const OpCase& c : opCases) {
        SCOPED_TRACE(c.line);
        const ProgramStore store = programAround(c.line);
        MachineState machine = c.before;
        RunControl run;
        run.nextLine = 1;
        run.sleepTicks = 0;
        run.stepPhase = StepPhase::None;
        EXPECT_EQ(executeLine(store, machine, run), c.outcome);
        EXPECT_TRUE(sameRegisters(machine, c.after));
        EXPECT_EQ(run.nextLine, c.nextLine == end ? store.lineCount : c.nextLine);
        EXPECT_EQ(run.sleepTicks, 0);
        EXPECT_EQ(run.stepPhase, StepPhase::None);
    }
}

TEST(ExecuteLine, SleepTimesFollowStrtodAndNeverOverflow) {
    struct Case { const char* line; int32_t ticks; };
    constexpr int32_t longest = 2147483647;
    const Case cases[] = {
        {"SLP 0.1", 1},        {"SLP 0.15", 1},       {"SLP 1", 10},          {"SLP 2.5", 25},
        {"SLP 0.3", 3},        {"SLP   1.5", 15},     {"SLP +1.5", 15},       {"SLP 1.5abc", 15},
        {"SLP 1e2", 1000},     {"SLP 1e", 10},        {"SLP .5", 5},          {"SLP 0x1p4", 160},
        {"SLP 0X.8", 5},       {"SLP 0x", 0},         {"SLP 0xg", 0},         {"SLP 0.05", 0},
        {"SLP 0", 0},          {"SLP -5", 0},         {"SLP", 0},             {"SLP abc", 0},
        {"SLP +-1", 0},        {"SLP nan", 0},        {"SLP -nan", 0},        {"SLP -inf", 0},
        {"SLP inf", longest},  {"SLP INFINITY", longest}, {"SLP 1e999", longest}, {"SLP 1e-999", 0},
        {"SLP 3e8", longest},  {"SLP 2.15e8", longest}, {"SLP 2.14e8", 2140000000},
        {"SLP 214748364", 21474830}, {"SLP 1,5", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const ProgramStore store = programAround(c.line);
        ASSERT_EQ(store.lines[1].opcode, Slp);
        MachineState machine;
        RunControl run;
        run.nextLine = 1;
        const LineOutcome outcome = executeLine(store, machine, run);
        EXPECT_EQ(run.nextLine, 2);
        EXPECT_EQ(run.sleepTicks, c.ticks);
        EXPECT_EQ(outcome, c.ticks > 0 ? LineOutcome::SleepStarted : LineOutcome::Skipped);
    }
}

TEST(ExecuteLine, BlankLineGrantsOneStepOnlyInStepMode) {
    const ProgramStore store = programAround("");
    for (RunMode mode : {RunMode::Automatic, RunMode::Manual, RunMode::Posted, RunMode::Step}) {
        MachineState machine;
        RunControl run;
        run.runMode = static_cast<RunMode>(mode);
        run.nextLine = 1;
        EXPECT_EQ(executeLine(store, machine, run), LineOutcome::Skipped);
        EXPECT_EQ(run.stepPhase, mode == RunMode::Step ? StepPhase::Granted : StepPhase::None)
            << static_cast<char>(mode);
        EXPECT_EQ(run.nextLine, 2);
    }
}

TEST(ExecuteLine, AtOrPastTheEndNothingChanges) {
    const ProgramStore store = programAround("NOP");
    for (int32_t line : {store.lineCount, store.lineCount + 5, -1}) {
        MachineState machine{1, 2, 3, 1, 5, 6};
        RunControl run;
        run.nextLine = line;
        EXPECT_EQ(executeLine(store, machine, run), LineOutcome::DeviceCommand);
        EXPECT_EQ(run.nextLine, line);
        EXPECT_TRUE(sameRegisters(machine, MachineState{1, 2, 3, 1, 5, 6}));
    }
}

TEST(ExecuteLine, UnknownOpcodeIsADeviceCommand) {
    ProgramStore store = programAround("NOP");
    store.lines[1].opcode = 42;
    MachineState machine;
    RunControl run;
    run.nextLine = 1;
    EXPECT_EQ(executeLine(store, machine, run), LineOutcome::DeviceCommand);
    EXPECT_EQ(run.nextLine, 1);
}

}  // namespace
}  // namespace kt57
