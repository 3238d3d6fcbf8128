// The shared VCD writer: only changes, timestamps that never go back, identifier codes a reader
// cannot take for a timestamp, a last timestamp that shows the final state, and write errors.
#include "tools/common/vcd_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/waveform_reading.h"

namespace kt57 {
namespace {

using test::parseVcd;
using test::VcdText;

class VcdWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kt57-vcd-test-XXXXXX";
        folder = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    VcdText written() { return parseVcd(test::readText(path())); }
    std::string path() const { return folder + "/out.vcd"; }

    std::string folder;
    VcdWriter vcd;
};

TEST_F(VcdWriterTest, WritesTheInitialValuesThenOnlyChangesUnderIncreasingTimestamps) {
    const int a = vcd.addWire("a");
    const int number = vcd.addBits("n", 3, 0b101);
    const int stop = vcd.addWire("stop");
    ASSERT_TRUE(vcd.open(path(), "1 ms", "test"));
    vcd.set(0, a, true);           // at the initial timestamp itself
    vcd.set(5, a, true);           // no change: nothing, not even a timestamp
    vcd.setBits(7, number, 3, 0b100);
    vcd.set(6, a, false);          // earlier than the last written: stays at 7
    vcd.pulse(9, stop);
    ASSERT_TRUE(vcd.close(20));

    const VcdText file = written();
    ASSERT_EQ(file.error, "");
    EXPECT_EQ(file.timescale, "1 ms");
    EXPECT_EQ(file.kinds.at("n[2]"), "wire");
    EXPECT_EQ(file.kinds.at("stop"), "wire");
    const std::vector<std::pair<long long, std::string>> expected {
        {0, "a=1"}, {7, "n[0]=0"}, {7, "a=0"}, {9, "stop=1"}, {10, "stop=0"}};
    std::vector<std::pair<long long, std::string>> changes;
    for (const test::VcdChange& change : file.changes) changes.push_back({change.time, change.name + "=" + change.value});
    EXPECT_EQ(changes, expected);
    ASSERT_EQ(file.initial.size(), 5u);
    EXPECT_EQ(file.initial[1].name + file.initial[1].value, "n[0]1");
    EXPECT_EQ(file.initial[4].name + file.initial[4].value, "stop0");  // 0 from the start: nothing happened yet
    EXPECT_EQ(file.lastTime, 20);
}

// A pulse is 1 for one time unit; its end goes out in time order among the other changes, a pulse
// that meets one still 1 lengthens it, and the file never ends before a pulse has.
TEST_F(VcdWriterTest, PulsesLastOneTimeUnitAndKeepTheTimestampsInOrder) {
    const struct {
        const char* name;
        std::vector<std::pair<char, long long>> writes;  // 'p': pulse p, 'q': pulse q, 'w': set w to 1
        long long end;
        std::vector<std::pair<long long, std::string>> changes;
        long long lastTimestamp;
    } cases[] = {
        {"alone", {{'p', 3}}, 10, {{3, "p=1"}, {4, "p=0"}}, 10},
        {"a change later", {{'p', 3}, {'w', 8}}, 10, {{3, "p=1"}, {4, "p=0"}, {8, "w=1"}}, 10},
        {"a change a unit later", {{'p', 3}, {'w', 4}}, 10, {{3, "p=1"}, {4, "p=0"}, {4, "w=1"}}, 10},
        {"a change at the same time", {{'p', 3}, {'w', 3}}, 10, {{3, "p=1"}, {3, "w=1"}, {4, "p=0"}}, 10},
        {"two wires", {{'p', 3}, {'q', 3}}, 10, {{3, "p=1"}, {3, "q=1"}, {4, "p=0"}, {4, "q=0"}}, 10},
        {"again a unit later", {{'p', 3}, {'p', 4}}, 10, {{3, "p=1"}, {5, "p=0"}}, 10},
        {"again at the same time", {{'p', 3}, {'p', 3}}, 10, {{3, "p=1"}, {4, "p=0"}}, 10},
        {"again later", {{'p', 3}, {'p', 6}}, 10, {{3, "p=1"}, {4, "p=0"}, {6, "p=1"}, {7, "p=0"}}, 10},
        {"at the end", {{'p', 9}}, 9, {{9, "p=1"}, {10, "p=0"}}, 10},
        {"before time 0 is over", {{'p', 0}}, 0, {{0, "p=1"}, {1, "p=0"}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VcdWriter writer;
        const int p = writer.addWire("p");
        const int q = writer.addWire("q");
        const int w = writer.addWire("w");
        ASSERT_TRUE(writer.open(path(), "1 ms", "test"));
        for (const auto& [what, time] : c.writes) {
            if (what == 'w') writer.set(time, w, true);
            else writer.pulse(time, what == 'p' ? p : q);
        }
        ASSERT_TRUE(writer.close(c.end));
        const VcdText file = written();
        ASSERT_EQ(file.error, "");
        std::vector<std::pair<long long, std::string>> changes;
        for (const test::VcdChange& change : file.changes) changes.push_back({change.time, change.name + "=" + change.value});
        EXPECT_EQ(changes, c.changes);
        EXPECT_EQ(file.lastTime, c.lastTimestamp);
    }
}

// Readers show nothing at the last timestamp, so one at the last change's time would hide it.
TEST_F(VcdWriterTest, EndsAfterTheLastChangeEvenWhenTheEndIsNoLater) {
    const struct {
        long long change;
        long long end;
        long long lastTimestamp;
    } cases[] = {{10, 25, 25}, {10, 10, 11}, {10, 4, 11}, {0, 0, 1}};
    for (const auto& c : cases) {
        VcdWriter writer;
        const int wire = writer.addWire("w");
        ASSERT_TRUE(writer.open(path(), "1 us", "test"));
        writer.set(c.change, wire, true);
        ASSERT_TRUE(writer.close(c.end));
        EXPECT_EQ(written().lastTime, c.lastTimestamp) << "change at " << c.change << ", end " << c.end;
    }
}

TEST_F(VcdWriterTest, IdentifierCodesAreUniqueAndNeverStartLikeATimestamp) {
    for (int i = 0; i < 400; ++i) vcd.addWire("w" + std::to_string(i), (i & 1) != 0);
    ASSERT_TRUE(vcd.open(path(), "1 ms", "test"));
    for (int i = 0; i < 400; ++i) vcd.set(3, i, (i & 1) == 0);
    ASSERT_TRUE(vcd.close(4));
    const VcdText file = written();
    EXPECT_EQ(file.error, "");
    EXPECT_EQ(file.kinds.size(), 400u);
    EXPECT_EQ(file.changes.size(), 400u);
}

TEST_F(VcdWriterTest, ReportsWhatItCannotCreateOrWrite) {
    EXPECT_FALSE(vcd.open(folder + "/missing/out.vcd", "1 ms", "test"));
    EXPECT_EQ(vcd.error().rfind("cannot create: ", 0), 0u) << vcd.error();

    VcdWriter full;
    const int wire = full.addWire("w");
    ASSERT_TRUE(full.open("/dev/full", "1 ms", "test"));
    for (int t = 1; t < 10; ++t) full.set(t, wire, (t & 1) != 0);
    EXPECT_FALSE(full.close(10));
    EXPECT_EQ(full.error(), "cannot write: No space left on device");
}

}  // namespace
}  // namespace kt57
