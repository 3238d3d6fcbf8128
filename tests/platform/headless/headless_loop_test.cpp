// The headless message loop's order: an event before a tick due at the same millisecond, posted
// order within a millisecond, and a sleep's timer that keeps its period.
#include <gtest/gtest.h>

#include "tests/support/headless_fixture.h"

namespace kt57::test {
namespace {

class HeadlessLoop : public HeadlessTest {};

TEST_F(HeadlessLoop, AnEventComesBeforeATickDueAtTheSameMillisecond) {
    writeMode("M\n");
    writeProgram("W0000001\n");
    startRun();
    run->post(HeadlessEvent::key(1030, 'G'));  // the tick re-armed at 1020 falls due at 1030 too
    run->runUntil(1030);
    ASSERT_EQ(driver->count('W'), 1);
    EXPECT_EQ(driver->calls.back().at, 1030);
}

TEST_F(HeadlessLoop, EventsOfOneMillisecondKeepTheirPostedOrder) {
    writeMode("M\n");
    writeProgram("W0000001\n");
    startRun();
    run->post(HeadlessEvent::key(1025, 'G'));
    run->post(HeadlessEvent::key(1025, 'S'));
    run->post(HeadlessEvent::key(1100, 'S'));
    run->post(HeadlessEvent::key(1100, 'G'));
    run->runUntil(1095);
    EXPECT_EQ(driver->count('W'), 0);  // G then S: stopped again before any tick
    run->runUntil(1110);
    EXPECT_EQ(driver->count('W'), 1);  // S then G: running
}

TEST_F(HeadlessLoop, ASleepsTicksComeEvery100MillisecondsFromWhereItWasSet) {
    writeProgram("SLP 0.3\nW0000001\n");
    startRun();
    run->runUntil(1020);  // the SLP runs and sets 100 ms
    std::vector<int64_t> ticks;
    while (run->step(2000) && driver->count('W') == 0) ticks.push_back(run->now());
    EXPECT_EQ(ticks, (std::vector<int64_t>{1120, 1220}));
    EXPECT_EQ(driver->calls.back().at, 1320);
}

TEST_F(HeadlessLoop, ADoubleClickIsTwoClicksWithTheModifiersHeldOnlyMeanwhile) {
    writeMode("MD\n");
    writeProgram("NOP\nNOP\n");
    startRun();
    run->post(HeadlessEvent::click(1100, 95, 135, true, false, true));
    run->runUntil(1100);
    EXPECT_EQ(control().breakLine, lineCount());  // set and cleared again
    run->post(HeadlessEvent::click(1110, 95, 135, true, false));
    run->runUntil(1110);
    EXPECT_EQ(control().breakLine, 1);
    EXPECT_FALSE(run->modifiers().controlHeld());
}

}  // namespace
}  // namespace kt57::test
