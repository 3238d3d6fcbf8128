// Whole programs in virtual time: the tick's bursts, sleeps, break line, step mode, the error
// stops and the periodic release of the board, seen from the board, the screen and the records.
#include <gtest/gtest.h>

#include "console/screen_texts.h"
#include "tests/support/headless_fixture.h"

namespace kt57::test {
namespace {

constexpr int64_t firstTick = 1020;  // start-up: 1000 ms wait, then the release's 20 ms

std::string messageField(HeadlessRun& run) { return run.canvas().bandText(10); }
// A fixed text as the canvas shows it: UTF-8, trailing blanks cut.
std::string utf8(const char* bytes, int length) {
    std::string text = cp932ToUtf8(bytes, static_cast<size_t>(length));
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

class EngineRun : public HeadlessTest {};

TEST_F(EngineRun, LoopErrorAfter201InstructionsAndCResumesInsideTheLoop) {
    writeProgram("010 NOP\nJMP 010\n");
    startRun();
    run->runUntil(firstTick);
    ASSERT_EQ(observer->errors.size(), 1u);
    EXPECT_EQ(observer->errors[0].stop, ErrorStop::Loop);
    EXPECT_EQ(observer->errors[0].at, firstTick);
    EXPECT_EQ(control().nextLine, lineCount());
    // 201 instructions from line 0 end on the NOP, so C resumes at the JMP.
    EXPECT_EQ(control().continueLine, 1);
    EXPECT_EQ(control().burstCount, 0);
    EXPECT_NE(run->canvas().bandText(10).find(utf8(loopErrorText, 20)), std::string::npos);
    EXPECT_TRUE(run->canvas().cellIsRed(10, 39));

    keyThenRun('C', 10);
    ASSERT_EQ(observer->errors.size(), 2u);
    EXPECT_EQ(control().continueLine, 0);  // 201 more from the JMP end on a JMP
    EXPECT_EQ(driver->count('W'), 0);
}

TEST_F(EngineRun, CKeyDrawsTheVersionTextOverTheError) {
    writeProgram("010 NOP\nJMP 010\n");
    startRun();
    run->runUntil(firstTick);
    key('C');
    run->step(run->now());
    EXPECT_EQ(messageField(*run).find(utf8(loopErrorText, 20)), std::string::npos);
}

TEST_F(EngineRun, Sleep25TicksShowsThreeTwoOneThenRunsTheNextLine) {
    writeProgram("SLP 2.5\nW0000001\n");
    startRun();
    run->runUntil(firstTick + 2500);
    EXPECT_EQ(control().refreshTick, 2);  // the 24 ticks that only count down do not count
    run->runUntil(firstTick + 2600);
    std::string digits;
    for (const auto& draw : screen->draws) {
        if (draw.text.rfind("スリープ中", 0) == 0) {
            EXPECT_EQ(draw.at, firstTick + 100 * static_cast<int64_t>(digits.size() + 1));
            digits += draw.text.substr(std::string("スリープ中  ").size(), 1);
        }
    }
    EXPECT_EQ(digits, "33333" "2222222222" "1111111111");
    ASSERT_EQ(driver->count('W'), 1);
    for (const auto& call : driver->calls) {
        if (call.what == 'W') {
            EXPECT_EQ(call.at, firstTick + 2500);
        }
    }
}

struct SleepLoopCase {
    const char* name;
    const char* sleep;
    bool loopError;
};

class SleepInLoop : public HeadlessTest, public ::testing::WithParamInterface<SleepLoopCase> {};

TEST_P(SleepInLoop, ShortSleepsDoNotCountButDoNotEndTheBurst) {
    writeProgram(std::string("010 NOP\nSLP ") + GetParam().sleep + "\nJMP 010\n");
    startRun();
    run->runUntil(firstTick + 1000);
    EXPECT_EQ(observer->errors.size(), GetParam().loopError ? 1u : 0u);
    if (!GetParam().loopError) {
        EXPECT_LT(control().nextLine, lineCount());
        EXPECT_EQ(run->timer().interval(), 100);  // one pass per 100 ms tick
        EXPECT_GE(run->ticksDelivered(), 10);
        EXPECT_LE(run->ticksDelivered(), 11);
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, SleepInLoop,
                         ::testing::Values(SleepLoopCase{"short", "0.05", true}, SleepLoopCase{"tick", "0.1", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Line indices: cell of line i in the first listing column.
uint32_t lineX() { return 10 + 85; }
uint32_t lineY(int line) { return static_cast<uint32_t>(110 + 20 * line + 5); }

TEST_F(EngineRun, BreakLineOnAControlInstructionStopsAfterIt) {
    writeMode("MD\n");
    writeProgram("NOP\nNOP\nW0000001\n");
    startRun();
    run->post(HeadlessEvent::click(firstTick, lineX(), lineY(1), true, false));
    run->post(HeadlessEvent::key(firstTick, 'G'));
    run->runUntil(firstTick + 200);
    EXPECT_EQ(control().breakLine, 1);
    EXPECT_EQ(control().nextLine, lineCount());
    EXPECT_EQ(control().currentLine, 1);
    EXPECT_EQ(control().continueLine, 2);
    EXPECT_EQ(driver->count('W'), 0);

    keyThenRun('C', 100);  // resumes after the break line and runs to the end
    EXPECT_EQ(driver->count('W'), 1);
}

TEST_F(EngineRun, BreakLineOnADeviceCommandSendsItStopsAndStillTakesTheReply) {
    writeMode("MD\n");
    writeProgram("NOP\nW00000A5\nNOP\n");
    startRun();
    run->post(HeadlessEvent::click(firstTick, lineX(), lineY(1), true, false));
    run->post(HeadlessEvent::key(firstTick, 'G'));
    run->runUntil(firstTick + 10);
    EXPECT_EQ(driver->count('W'), 1);
    EXPECT_EQ(control().nextLine, lineCount());
    EXPECT_EQ(control().replyWait, 1);
    run->runUntil(firstTick + 20);
    EXPECT_EQ(control().replyWait, 0);
    EXPECT_EQ(machine().outputRegister, 0xA5);
    EXPECT_EQ(control().continueLine, 2);
}

TEST_F(EngineRun, SleepOnTheBreakLineDoesNotSleep) {
    writeProgram("SLP 5\nNOP\n");
    makeRun();
    run->start();
    control().breakLine = 0;
    run->runUntil(firstTick);
    EXPECT_EQ(control().sleepTicks, 0);
    EXPECT_EQ(control().nextLine, lineCount());
    EXPECT_EQ(run->timer().interval(), 10);
}

TEST_F(EngineRun, StepModeRunsLineZeroAtOnceThenOneStepPerEnter) {
    writeMode("S\n");
    writeProgram("NOP\n\nSET 5\nW0000001\nNOP\n");
    startRun();
    EXPECT_EQ(control().nextLine, lineCount());
    keyThenRun('G', 100);
    EXPECT_EQ(control().currentLine, 0);
    EXPECT_EQ(control().nextLine, 1);
    EXPECT_EQ(control().stepPhase, StepPhase::WaitingForEnter);

    keyThenRun(13, 100);  // the blank line is passed over with the SET after it
    EXPECT_EQ(control().currentLine, 2);
    EXPECT_EQ(machine().loopCounter, 5);
    EXPECT_EQ(control().stepPhase, StepPhase::WaitingForEnter);
    EXPECT_EQ(driver->count('W'), 0);

    keyThenRun(13, 100);  // the device command: sent, reply taken, board let go
    EXPECT_EQ(driver->count('W'), 1);
    EXPECT_EQ(machine().outputRegister, 1);
    EXPECT_EQ(control().stepPhase, StepPhase::WaitingForEnter);
    EXPECT_EQ(run->sequencer().link.linkState, LinkState::Closed);

    keyThenRun(13, 100);
    EXPECT_EQ(control().currentLine, 4);
    EXPECT_EQ(control().nextLine, lineCount());
}

// After Enter a control instruction on the break line stops with the step still granted, so C
// runs the next step at once; a device command's reply takes the grant back.
TEST_F(EngineRun, StepModeBreakLineResumes) {
    writeMode("S\n");
    writeProgram("NOP\nNOP\nNOP\nW0000001\nNOP\n");
    startRun();
    control().breakLine = 1;
    keyThenRun('G', 50);
    keyThenRun(13, 50);
    EXPECT_EQ(control().nextLine, lineCount());
    EXPECT_EQ(control().stepPhase, StepPhase::Granted);
    keyThenRun('C', 50);
    EXPECT_EQ(control().currentLine, 2);  // without Enter
    EXPECT_EQ(control().stepPhase, StepPhase::WaitingForEnter);

    control().breakLine = 3;
    keyThenRun(13, 50);
    EXPECT_EQ(driver->count('W'), 1);
    EXPECT_EQ(control().nextLine, lineCount());
    EXPECT_EQ(control().stepPhase, StepPhase::WaitingForEnter);
    keyThenRun('C', 500);
    EXPECT_EQ(control().nextLine, 4);  // waits for Enter
}

TEST_F(EngineRun, StepModeAtLineZeroADeviceCommandWaitsForEnter) {
    writeMode("S\n");
    writeProgram("W0000001\nNOP\n");
    startRun();
    control().stepPhase = StepPhase::WaitingForEnter;
    control().nextLine = 0;
    run->runUntil(firstTick + 500);
    EXPECT_EQ(driver->count('W'), 0);
    keyThenRun(13, 50);
    EXPECT_EQ(driver->count('W'), 1);
}

TEST_F(EngineRun, SilentBoardGivesTheDataErrorOnThe100thPoll) {
    writeProgram("W0000001\nNOP\n");
    startRun();
    run->board().model.muted = true;
    run->runUntil(firstTick + 2000);
    ASSERT_EQ(observer->errors.size(), 1u);
    EXPECT_EQ(observer->errors[0].stop, ErrorStop::Data);
    // The 100th poll, 10 ms apart after the send, releases the board (20 ms) and then stops.
    ASSERT_EQ(driver->calls.back().what, 'C');
    EXPECT_EQ(driver->calls.back().at, firstTick + 100 * 10);
    EXPECT_EQ(observer->errors[0].at, firstTick + 100 * 10 + 20);
    EXPECT_EQ(control().replyWait, 0);
    EXPECT_EQ(control().continueLine, 1);
    EXPECT_EQ(run->sequencer().link.linkState, LinkState::Closed);
    EXPECT_NE(messageField(*run).find(utf8(dataErrorText, 20)), std::string::npos);
}

TEST_F(EngineRun, BoardThatCannotBeReopenedGivesTheDeviceErrorAfter101Attempts) {
    writeProgram("W0000001\nNOP\n");
    startRun();
    run->board().unplug();
    run->runUntil(firstTick + 2000);
    ASSERT_EQ(observer->errors.size(), 1u);
    EXPECT_EQ(observer->errors[0].stop, ErrorStop::Device);
    EXPECT_EQ(observer->errors[0].at, firstTick + 100 * 10);
    EXPECT_EQ(observer->openFailures, 101);
    EXPECT_EQ(control().connectFailures, 0);
    EXPECT_EQ(control().continueLine, lineCount());
    keyThenRun('C', 100);
    EXPECT_EQ(control().nextLine, lineCount());
    EXPECT_EQ(observer->openFailures, 101);
}

TEST_F(EngineRun, ReplyArrivingAfterSIsStillTakenAndOnlyThenTheBoardIsReleased) {
    writeProgram("W0000007\nNOP\n");
    startRun();
    run->board().latencyMilliseconds = 500;
    run->runUntil(firstTick);
    EXPECT_EQ(driver->count('W'), 1);
    keyThenRun('S', 100);
    EXPECT_EQ(control().nextLine, lineCount());
    EXPECT_EQ(control().replyWait, 11);
    EXPECT_EQ(run->sequencer().link.linkState, LinkState::Open);  // never released while a reply is awaited
    run->runUntil(firstTick + 510);
    EXPECT_EQ(control().replyWait, 0);
    EXPECT_EQ(machine().outputRegister, 7);
    EXPECT_EQ(run->sequencer().link.linkState, LinkState::Open);
    run->runUntil(firstTick + 700);  // the next periodic refresh lets it go
    EXPECT_EQ(run->sequencer().link.linkState, LinkState::Closed);
}

struct ReleaseCase {
    const char* name;
    const char* modeFile;
    bool postP;
    std::vector<int> passesEndingInARelease;
};

class PeriodicRelease : public HeadlessTest, public ::testing::WithParamInterface<ReleaseCase> {};

// Each pass sends once and then executes five control instructions, so the 11th, 22nd, 33rd ...
// executed instruction falls in passes 3, 5, 7, 9, 11.
TEST_P(PeriodicRelease, EveryEleventhInstructionReleasesTheBoardOutsideModeA) {
    writeMode(GetParam().modeFile);
    writeProgram("010 W0000001\nNOP\nNOP\nNOP\nNOP\nJMP 010\n");
    startRun();
    if (GetParam().postP) run->post(HeadlessEvent::post(firstTick, 'P'));
    if (control().nextLine == lineCount()) run->post(HeadlessEvent::key(firstTick, 'G'));
    const size_t startUpCalls = driver->calls.size();
    while (driver->count('W') < 12) ASSERT_TRUE(run->step(firstTick + 10000));
    std::vector<int> passes;
    int sends = 0;
    for (size_t i = startUpCalls; i < driver->calls.size(); ++i) {
        if (driver->calls[i].what == 'W') ++sends;
        if (driver->calls[i].what == 'C') passes.push_back(sends);
    }
    EXPECT_EQ(passes, GetParam().passesEndingInARelease);
}

INSTANTIATE_TEST_SUITE_P(Engine, PeriodicRelease,
                         ::testing::Values(ReleaseCase{"A", "A\n", false, {}},
                                           ReleaseCase{"M", "M\n", false, {3, 5, 7, 9, 11}},
                                           ReleaseCase{"P", "A\n", true, {3, 5, 7, 9, 11}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineRun, BlankLastLineStopsWithoutSending) {
    writeProgram("NOP\n\n");
    startRun();
    run->runUntil(firstTick);
    EXPECT_EQ(control().currentLine, lineCount());
    EXPECT_EQ(control().nextLine, lineCount());
    EXPECT_EQ(driver->count('W'), 0);
}

}  // namespace
}  // namespace kt57::test
