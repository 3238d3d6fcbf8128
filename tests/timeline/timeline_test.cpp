// The timeline answers any moment, in any order, with exactly the straight rehearsal's state.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "fuzz/timeline_checks.h"
#include "tests/support/scratch_files.h"
#include "timeline/timeline.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/run_trace.h"

namespace kt57::test {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The demo with a minute of keys, clicks, paints and board changes (the rehearsal benchmark's).
RehearsalInputs demoMinute() {
    RehearsalInputs inputs;
    inputs.program = RehearsalFile::of(slurp(std::filesystem::path(KT57_DEMO_DIR) / "KT57Data.txt"));
    std::string error;
    EXPECT_TRUE(parseEvents(slurp(KT57_DEMO_EVENTS), "events", inputs.events, error)) << error;
    inputs.until = 60000;
    return inputs;
}

std::vector<int64_t> shuffledMoments(int64_t until, int count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<int64_t> moments{0, 1, 999, 1000, 1020, 12000, 12001, 31100, until, until + 5000};
    while (static_cast<int>(moments.size()) < count) moments.push_back(std::uniform_int_distribution<int64_t>(0, until)(random));
    std::shuffle(moments.begin(), moments.end(), random);
    return moments;
}

class TimelineTest : public ::testing::Test {
protected:
    support::ScratchDirectory scratch{"kt57-timeline-test"};
};

// Whole snapshots at times and at message counts, stepped both ways, for spacings from one
// checkpoint per message to the default, and with so few allowed that thinning runs many times.
TEST_F(TimelineTest, EveryMomentIsTheStraightRehearsals) {
    const RehearsalInputs inputs = demoMinute();
    const struct {
        uint64_t cost;
        size_t most;
    } limits[] = {{1, 100000}, {64, 3}, {TimelineLimits{}.checkpointCost, TimelineLimits{}.maxCheckpoints}};
    for (const auto& limit : limits) {
        SCOPED_TRACE(limit.cost);
        std::vector<uint32_t> positions{0, 1, 2, 50, 777, 3000, 100000};
        fuzz::checkTimeline(inputs, scratch.path(), TimelineLimits{limit.cost, limit.most},
                            shuffledMoments(inputs.until, 40, static_cast<unsigned>(limit.cost)), positions);
    }
}

// The one-pass straight reference above moves its clock on at each moment; a fresh rehearsal per
// moment must agree with the timeline too.
TEST_F(TimelineTest, MomentsMatchFreshRehearsalsStoppedThere) {
    RehearsalInputs inputs = demoMinute();
    Timeline timeline;
    std::string error;
    ASSERT_TRUE(timeline.build(inputs, error)) << error;
    for (const int64_t t : {int64_t{45500}, int64_t{1020}, int64_t{31300}, int64_t{12000}}) {
        const auto straight = fuzz::straightAtTimes(inputs, scratch.path(), {t});
        HeadlessSnapshot seen;
        timeline.seek(t).save(seen);
        EXPECT_TRUE(seen == straight.at(t)) << "at " << t;
    }
}

// The run ends early when the window goes; moments after it are the end, with the clock where
// the run ended, as kt57-run --until leaves it.
TEST_F(TimelineTest, ARehearsalThatEndsEarlyStaysAtItsEnd) {
    RehearsalInputs inputs = demoMinute();
    inputs.events.push_back(HeadlessEvent::of(20000, HeadlessEventKind::Close));
    Timeline timeline;
    std::string error;
    ASSERT_TRUE(timeline.build(inputs, error)) << error;
    EXPECT_TRUE(timeline.endedEarly());
    EXPECT_EQ(timeline.endTime(), 20000);
    EXPECT_EQ(timeline.seek(50000).now(), 20000);
    EXPECT_TRUE(timeline.seek(50000).finished());
    fuzz::checkTimeline(inputs, scratch.path(), {}, {25000, 19999, 20000, 0}, {5, 100000});
}

// However long the rehearsal, the checkpoints stay within their number: the spacing grows.
TEST_F(TimelineTest, ThinningKeepsTheCheckpointsBounded) {
    RehearsalInputs inputs = demoMinute();
    inputs.until = 600000;
    Timeline timeline(TimelineLimits{256, 16});
    std::string error;
    ASSERT_TRUE(timeline.build(inputs, error)) << error;
    EXPECT_FALSE(timeline.endedEarly());
    EXPECT_GT(timeline.messageCount(), 5000u);
    EXPECT_LE(timeline.checkpointCount(), 16u);
    EXPECT_GT(timeline.checkpointCount(), 8u);
    EXPECT_GT(timeline.checkpointCost(), 256u);
    HeadlessSnapshot seen;
    timeline.seek(599999).save(seen);
    EXPECT_TRUE(seen == fuzz::straightAtTimes(inputs, scratch.path(), {599999}).at(599999));
}

// The signals' changes: a span returns only its own, in order, starting after the span's start.
TEST_F(TimelineTest, ChangesOfASpanAreThoseMadeInIt) {
    const RehearsalInputs inputs = demoMinute();
    Timeline timeline;
    std::string error;
    ASSERT_TRUE(timeline.build(inputs, error)) << error;
    const Signal out4{SignalKind::Pin, PinName{PinSide::Output, 4}};
    const std::vector<SignalChange> all = timeline.changes(out4, 0, 60000);
    ASSERT_GT(all.size(), 10u);
    const int64_t from = all[3].at;
    const int64_t to = all[7].at;
    const std::vector<SignalChange> some = timeline.changes(out4, from, to);
    ASSERT_EQ(some.size(), 5u);
    EXPECT_EQ(some.front().at, from);
    EXPECT_EQ(some.back().at, to);
    EXPECT_TRUE(timeline.changes(out4, to, from).empty());
    // The inputs change exactly where the events set them.
    const std::vector<SignalChange> in2 = timeline.changes(Signal{SignalKind::Pin, PinName{PinSide::Input, 2}}, 0, 60000);
    ASSERT_EQ(in2.size(), 2u);
    EXPECT_EQ(in2[0].at, 5000);
    EXPECT_EQ(in2[0].value, 1);
    EXPECT_EQ(in2[1].at, 20000);
    EXPECT_EQ(in2[1].value, 0);
}

}  // namespace
}  // namespace kt57::test
