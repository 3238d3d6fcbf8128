// kt57-run --studio's parts that need no server: who may use it, the JSON it answers, the screen's
// cells, the timeline rehearsal against kt57-run's own trace, and when the studio ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>

#include "tests/support/headless_fixture.h"
#include "tools/kt57-run/studio_access.h"
#include "tools/kt57-run/studio_json.h"
#include "tools/kt57-run/studio_life.h"
#include "tools/kt57-run/studio_rehearsal.h"

namespace kt57::test {
namespace {

const std::string token = "0123456789abcdef0123456789abcdef";
const StudioAddress address{token, 43210};

struct AccessCase {
    const char* name;
    std::string path;
    std::string host;
    std::optional<std::string> origin;
    AccessRefusal expected;
};

class StudioAccessTest : public ::testing::TestWithParam<AccessCase> {};

TEST_P(StudioAccessTest, OnlyThePagesOwnRequestsPass) {
    const AccessCase& c = GetParam();
    std::optional<std::string_view> origin;
    if (c.origin) origin = *c.origin;
    EXPECT_EQ(refusalOf(address, c.path, c.host, origin), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Studio, StudioAccessTest,
    ::testing::Values(
        AccessCase{"Page", "/" + token + "/", "127.0.0.1:43210", std::nullopt, AccessRefusal::None},
        AccessCase{"ApiByLocalhost", "/" + token + "/api/moment", "localhost:43210", std::nullopt, AccessRefusal::None},
        AccessCase{"OwnOrigin", "/" + token + "/api/events", "127.0.0.1:43210", "http://127.0.0.1:43210",
                   AccessRefusal::None},
        AccessCase{"OwnOriginByLocalhost", "/" + token + "/", "localhost:43210", "http://localhost:43210",
                   AccessRefusal::None},
        AccessCase{"NoToken", "/", "127.0.0.1:43210", std::nullopt, AccessRefusal::Token},
        AccessCase{"NoTokenForAFile", "/index.html", "127.0.0.1:43210", std::nullopt, AccessRefusal::Token},
        AccessCase{"WrongTokenOfTheSameLength", "/0123456789abcdef0123456789abcdee/", "127.0.0.1:43210", std::nullopt,
                   AccessRefusal::Token},
        AccessCase{"TokenCutShort", "/0123456789abcdef/", "127.0.0.1:43210", std::nullopt, AccessRefusal::Token},
        AccessCase{"TokenWithoutItsSlash", "/" + token, "127.0.0.1:43210", std::nullopt, AccessRefusal::Token},
        AccessCase{"TokenAsAPrefix", "/" + token + "0/", "127.0.0.1:43210", std::nullopt, AccessRefusal::Token},
        AccessCase{"ForeignHost", "/" + token + "/", "attacker.example:43210", std::nullopt, AccessRefusal::Host},
        AccessCase{"HostWithoutPort", "/" + token + "/", "127.0.0.1", std::nullopt, AccessRefusal::Host},
        AccessCase{"HostOfAnotherPort", "/" + token + "/", "127.0.0.1:4321", std::nullopt, AccessRefusal::Host},
        AccessCase{"HostWithASuffix", "/" + token + "/", "127.0.0.1:43210.attacker.example", std::nullopt,
                   AccessRefusal::Host},
        AccessCase{"NoHost", "/" + token + "/", "", std::nullopt, AccessRefusal::Host},
        AccessCase{"ForeignOrigin", "/" + token + "/api/moment", "127.0.0.1:43210", "http://attacker.example",
                   AccessRefusal::Origin},
        AccessCase{"NullOrigin", "/" + token + "/api/moment", "127.0.0.1:43210", "null", AccessRefusal::Origin},
        AccessCase{"EmptyOrigin", "/" + token + "/api/moment", "127.0.0.1:43210", "", AccessRefusal::Origin},
        AccessCase{"SecureSchemeOrigin", "/" + token + "/", "127.0.0.1:43210", "https://127.0.0.1:43210",
                   AccessRefusal::Origin},
        AccessCase{"OriginOfAnotherPort", "/" + token + "/", "127.0.0.1:43210", "http://127.0.0.1:8080",
                   AccessRefusal::Origin}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StudioAccess, WithoutATokenNothingPasses) {
    EXPECT_EQ(refusalOf({"", 43210}, "//", "127.0.0.1:43210", std::nullopt), AccessRefusal::Token);
    EXPECT_EQ(pageUrl(address), "http://127.0.0.1:43210/" + token + "/");
}

TEST(StudioJson, EscapesWhatJsonMustAndPassesUtf8AsItIs) {
    EXPECT_EQ(jsonString("say \"G\"\\"), "\"say \\\"G\\\"\\\\\"");
    EXPECT_EQ(jsonString("y=10\nred 1-2\r\t\x01"), "\"y=10\\nred 1-2\\r\\t\\u0001\"");
    EXPECT_EQ(jsonString("実行␍"), "\"実行␍\"");
}

TEST(StudioJson, MomentCarriesTheScreenTheStateAndEachCell) {
    RehearsalMoment moment;
    moment.at = 2000;
    moment.position = 101;
    moment.whole = false;
    moment.screen = "y=10  A\n";
    moment.state = "state next=0";
    moment.line = 9;
    moment.cells = {{10, 1, 1, false, "A"}, {40, 3, 2, true, "次"}};
    EXPECT_EQ(momentJson(moment),
              "{\"at\":2000,\"position\":101,\"whole\":false,\"screen\":\"y=10  A\\n\",\"state\":\"state next=0\","
              "\"line\":9,\"cells\":["
              "{\"y\":10,\"column\":1,\"width\":1,\"red\":false,\"text\":\"A\"},"
              "{\"y\":40,\"column\":3,\"width\":2,\"red\":true,\"text\":\"次\"}]}");
}

TEST(StudioCells, EachVisibleCharacterAtItsColumnWithItsWidthAndColour) {
    TextCanvas canvas;
    canvas.openContext(0);
    canvas.drawText(10, 10, "A B", 3);                   // columns 1-3, the blank left out
    canvas.drawText(34, 10, "\x8E\x9F" "Z", 3);          // 次 over columns 4-5, Z at 6
    canvas.openContext(TextCanvas::redColourIndex);
    canvas.drawText(0, 40, "\x81\xA1", 2);               // a red ■
    canvas.openContext(0);
    canvas.drawText(8, 40, "x", 1);                      // its second half overwritten: a blank
    const std::vector<ScreenCell> cells = screenCells(canvas);
    ASSERT_EQ(cells.size(), 5u) << canvas.render();
    const struct {
        int y, column, width;
        bool red;
        const char* text;
    } expected[] = {{10, 1, 1, false, "A"}, {10, 3, 1, false, "B"}, {10, 4, 2, false, "次"},
                    {10, 6, 1, false, "Z"}, {40, 1, 1, false, "x"}};
    for (size_t i = 0; i < cells.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cells[i].y, expected[i].y);
        EXPECT_EQ(cells[i].column, expected[i].column);
        EXPECT_EQ(cells[i].width, expected[i].width);
        EXPECT_EQ(cells[i].red, expected[i].red);
        EXPECT_EQ(cells[i].text, expected[i].text);
    }
}

TEST(StudioCells, RedTextsAreRed) {
    TextCanvas canvas;
    canvas.openContext(TextCanvas::redColourIndex);
    canvas.drawText(0, 10, "E\x8E\x9F", 3);
    const std::vector<ScreenCell> cells = screenCells(canvas);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_TRUE(cells[0].red);
    EXPECT_TRUE(cells[1].red);
    EXPECT_EQ(cells[1].width, 2);
}

// The example of docs/kt57-run.md, whose trace tests/tools/kt57-run/example holds.
class TimelineRehearsalTest : public HeadlessTest {
protected:
    static std::filesystem::path example(const char* name) { return std::filesystem::path(KT57_RUN_EXAMPLE_DIR) / name; }
    static std::string slurp(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void SetUp() override {
        std::filesystem::copy_file(example("KT57Data.txt"), directory / "KT57Data.txt");
        std::filesystem::copy_file(example("events.txt"), directory / "events.txt");
        // Not as menu 40001 writes it back: a run in this folder would show.
        writeMode("MD\nVB000001 (as the user left it)\n");
    }
    TimelineRehearsal& rehearsal() {
        if (!rehearsal_) {
            rehearsal_ = std::make_unique<TimelineRehearsal>(
                RehearsalSource{directory.string(), (directory / "events.txt").string(), "VB000001", 60000});
            std::string error;
            EXPECT_TRUE(rehearsal_->rebuild(error)) << error;
        }
        return *rehearsal_;
    }
    // The trace's line for "<ms> state", without the time.
    static std::string tracedState(const std::string& time) {
        std::istringstream trace(slurp(example("expected-trace.txt")));
        std::string line;
        while (std::getline(trace, line)) {
            if (line.rfind(time + " state ", 0) == 0) return line.substr(time.size() + 1);
        }
        return {};
    }
    // The trace's screen printed at ms, its rows without their indent.
    static std::string tracedScreen(const std::string& time) {
        std::istringstream trace(slurp(example("expected-trace.txt")));
        std::string line;
        std::string screen;
        bool inside = false;
        while (std::getline(trace, line)) {
            if (inside && line.rfind("  ", 0) != 0) break;
            if (inside) screen += line.substr(2) + "\n";
            if (line == time + " screen") inside = true;
        }
        return screen;
    }
    std::unique_ptr<TimelineRehearsal> rehearsal_;
};

TEST_F(TimelineRehearsalTest, MomentsAreKt57RunsScreenAndState) {
    ASSERT_FALSE(tracedScreen("2000").empty());
    EXPECT_EQ(rehearsal().momentAt(2000).screen, tracedScreen("2000"));
    EXPECT_EQ(rehearsal().momentAt(1700).state, tracedState("1700"));
    // Past the window's end at 3925 nothing changes: the trace's final state.
    EXPECT_EQ(rehearsal().momentAt(60000).state, tracedState("3925"));
}

TEST_F(TimelineRehearsalTest, RunsOnACopyAndLeavesTheUsersFolderAlone) {
    const RehearsalMoment first = rehearsal().momentAt(5000);  // menu 40001 at 3925 wrote a mode file
    EXPECT_EQ(readFile("KT57Mode.txt"), "MD\nVB000001 (as the user left it)\n");
    EXPECT_FALSE(std::filesystem::exists(directory / "KT57Mode.txt.new"));
    writeMode("AD\nVB000001\n");  // mode A would start the program at once: unseen until a rebuild
    EXPECT_EQ(rehearsal().momentAt(5000).state, first.state);
}

TEST_F(TimelineRehearsalTest, RebuildTakesTheFilesAsTheyAreNowAndKeepsTheEventsItHadWhenRefused) {
    const std::string before = rehearsal().momentAt(2000).screen;
    writeProgram("/ a new first line\nSLP 1\n");
    EXPECT_EQ(rehearsal().momentAt(2000).screen, before) << "the program is read at a rebuild only";
    std::string error;
    ASSERT_TRUE(rehearsal().rebuild(error)) << error;
    const std::string rebuilt = rehearsal().momentAt(2000).screen;
    EXPECT_NE(rebuilt.find("SLP 1"), std::string::npos) << rebuilt;

    writeFile("events.txt", "100 key G\n200 keys C\n");
    EXPECT_FALSE(rehearsal().rebuild(error));
    EXPECT_EQ(error, (directory / "events.txt").string() + ":2: unknown event 'keys'");
    EXPECT_EQ(rehearsal().momentAt(2000).screen, rebuilt);
}

TEST_F(TimelineRehearsalTest, StepsAndChangesAnswerFromTheSameMoments) {
    const RehearsalMoment at2000 = rehearsal().momentAt(2000);
    const RehearsalMoment back = rehearsal().step(at2000.position, StepKind::Message, -1);
    EXPECT_EQ(back.position + 1, at2000.position);
    const RehearsalMoment again = rehearsal().step(back.position, StepKind::Message, 1);
    EXPECT_EQ(again.position, at2000.position);
    EXPECT_EQ(again.screen, rehearsal().momentAt(again.at).screen);

    const Signal running{SignalKind::Running, {}};
    const RehearsalMarks marks = rehearsal().marks();
    ASSERT_FALSE(marks.running.empty());
    const int64_t start = marks.running.front().at;
    EXPECT_EQ(rehearsal().changeNear(running, start - 1, 1), start);
    EXPECT_EQ(rehearsal().changeNear(running, start, -1), std::nullopt) << "the cursor on a change looks before it";
    EXPECT_EQ(rehearsal().changeNear(running, start + 1, -1), start);
    EXPECT_FALSE(marks.events.empty());
}

TEST_F(TimelineRehearsalTest, AStripKeepsEachBucketsFirstAndLastChangeAndMarksItBusy) {
    const Signal line{SignalKind::Line, {}};
    const std::vector<SignalTrace> fine = rehearsal().changes({line}, 0, 60000, 10000, false);
    const std::vector<SignalTrace> coarse = rehearsal().changes({line}, 0, 60000, 1, false);
    ASSERT_GT(fine[0].changes.size(), 2u);
    ASSERT_EQ(coarse[0].changes.size(), 2u);
    EXPECT_EQ(coarse[0].changes.back().value, fine[0].changes.back().value) << "the level where the bucket ends";
    EXPECT_EQ(coarse[0].busy, std::vector<int64_t>{0});
}

TEST_F(TimelineRehearsalTest, AWhatIfForksKeepsTheOldStripAndMarksWhereOutputsPart) {
    const Signal out0{SignalKind::Pin, {PinSide::Output, 0}};
    const std::vector<SignalTrace> before = rehearsal().changes({out0}, 0, 60000, 10000, false);
    std::string error;
    EXPECT_FALSE(rehearsal().fork("100 keys G", error));
    EXPECT_EQ(error, "what-if:1: unknown event 'keys'");
    ASSERT_TRUE(rehearsal().fork("1500 fail write", error)) << error;
    EXPECT_EQ(rehearsal().forkLines(), std::vector<std::string>{"1500 fail write"});
    const RehearsalMarks marks = rehearsal().marks();
    EXPECT_EQ(std::count_if(marks.events.begin(), marks.events.end(), [](const EventMark& m) { return m.whatIf; }), 1);
    const std::vector<SignalTrace> greyed = rehearsal().changes({out0}, 0, 60000, 10000, true);
    EXPECT_EQ(greyed[0].changes.size(), before[0].changes.size());
    EXPECT_TRUE(marks.differs);
    EXPECT_GE(marks.firstDifference, 1500) << "a fork cannot change the past";

    rehearsal().dropFork();
    EXPECT_TRUE(rehearsal().forkLines().empty());
    EXPECT_TRUE(rehearsal().changes({out0}, 0, 60000, 10000, true).empty());
}

TEST_F(TimelineRehearsalTest, ExpectationsAreCheckedForTheFilesAndForEachWhatIf) {
    writeFile("events.txt", slurp(example("events.txt")) + "1000..3000 expect error none\n");
    const RehearsalMarks held = rehearsal().marks();
    EXPECT_EQ(held.expectations, 1u);
    EXPECT_TRUE(held.failed.empty());

    std::string error;
    ASSERT_TRUE(rehearsal().fork("1500 fail write", error)) << error;
    const RehearsalMarks forked = rehearsal().marks();
    ASSERT_EQ(forked.failed.size(), 1u);
    const FailedExpectation& failed = forked.failed.front();
    EXPECT_EQ(failed.at, 2640) << "where the error stop came";
    EXPECT_EQ(failed.finding, (directory / "events.txt").string() +
                                  ":17:19: error: expected no error stop from 1000 to 3000 ms, was error data at 2640 ms");

    rehearsal().dropFork();
    EXPECT_TRUE(rehearsal().marks().failed.empty()) << "the files' rehearsal again";
}

TEST_F(TimelineRehearsalTest, ASavedWhatIfIsTheRehearsalTheFilesGiveAgain) {
    std::string error;
    ASSERT_TRUE(rehearsal().fork("1500 key code 35", error)) << error;
    const RehearsalMoment forked = rehearsal().momentAt(60000);
    ASSERT_TRUE(rehearsal().saveFork(error)) << error;
    EXPECT_NE(readFile("events.txt").find("1500 key code 35\n"), std::string::npos);
    ASSERT_TRUE(rehearsal().rebuild(error)) << error;
    EXPECT_TRUE(rehearsal().forkLines().empty());
    EXPECT_EQ(rehearsal().momentAt(60000).state, forked.state);
    EXPECT_FALSE(rehearsal().marks().differs) << "the saved file gives the fork's outputs";
}

TEST(StudioLife, AnInterruptEndsIt) {
    StudioLife life(std::chrono::hours(1));
    auto end = std::async(std::launch::async, [&] { return life.wait(); });
    life.streamOpened();
    life.interrupt();
    EXPECT_EQ(end.get(), StudioEnd::Interrupted);
}

TEST(StudioLife, TheLastStreamClosedEndsItAfterTheGrace) {
    StudioLife life(std::chrono::milliseconds(20));
    life.streamOpened();
    life.streamOpened();
    life.streamClosed();
    life.streamClosed();
    EXPECT_EQ(life.wait(), StudioEnd::PageClosed);
}

// A reload closes the stream and opens another: within the grace, the studio goes on.
TEST(StudioLife, AStreamReopenedWithinTheGraceKeepsItGoing) {
    StudioLife life(std::chrono::hours(1));
    life.streamOpened();
    life.streamClosed();
    life.streamOpened();
    auto end = std::async(std::launch::async, [&] { return life.wait(); });
    life.interrupt();
    EXPECT_EQ(end.get(), StudioEnd::Interrupted);
}

// A browser slow to start must still find the server: no stream yet is no page closed.
TEST(StudioLife, NothingEndsItBeforeTheFirstStream) {
    StudioLife life(std::chrono::milliseconds(0));
    auto end = std::async(std::launch::async, [&] { return life.wait(); });
    life.interrupt();
    EXPECT_EQ(end.get(), StudioEnd::Interrupted);
}

}  // namespace
}  // namespace kt57::test
