// Expectations in the events file: what each line means, what is refused, and how a rehearsal is
// judged against them, moment by moment, over spans, for reactions and after the run's end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/pin_name.h"
#include "console/layout.h"
#include "tests/support/headless_fixture.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/expectation_check.h"
#include "tools/kt57-run/finding.h"
#include "tools/kt57-run/junit_report.h"

namespace kt57::test {
namespace {

TEST(PinNames, OneSpellingForEachOfTheFortyEightPins) {
    for (const PinSide side : {PinSide::Output, PinSide::Input}) {
        for (int index = 0; index < pinCount; ++index) {
            PinName read;
            ASSERT_TRUE(parsePinName(pinNameText({side, index}), read));
            EXPECT_EQ(read, (PinName{side, index}));
        }
    }
    PinName pin;
    for (const char* refused : {"out24", "in99", "out03", "out", "in", "out-1", "OUT3", "out3x", "pin3", "", "out 3"}) {
        EXPECT_FALSE(parsePinName(refused, pin)) << refused;
    }
    EXPECT_EQ(pinNameText({PinSide::Input, 23}), "in23");
}

Expectation onlyExpectation(const std::string& line) {
    EventsFile file;
    std::string error;
    EXPECT_TRUE(parseEventsFile(line + "\n", "e", file, error)) << error;
    EXPECT_EQ(file.expectations.size(), 1u);
    EXPECT_TRUE(file.events.empty());
    return file.expectations.empty() ? Expectation{} : file.expectations[0];
}

TEST(ExpectationLines, PinsCompareUnderOneMaskForEachSide) {
    const Expectation pins = onlyExpectation("2500 expect out3 1 in0 0 out5 0   # a comment");
    EXPECT_EQ(pins.kind, ExpectationKind::Pins);
    EXPECT_EQ(pins.outputMask, 0x28u);
    EXPECT_EQ(pins.outputValue, 0x08u);
    EXPECT_EQ(pins.inputMask, 0x01u);
    EXPECT_EQ(pins.inputValue, 0u);
    ASSERT_EQ(pins.pins.size(), 3u);
    EXPECT_EQ(pins.pins[1].column, 20);  // "in0"
    EXPECT_EQ(pins.column, 13);
    EXPECT_EQ(pins.text, "2500 expect out3 1 in0 0 out5 0");

    const Expectation port = onlyExpectation("2500 expect in 00ab00 mask 00FF00");
    EXPECT_EQ(port.inputMask, 0xFF00u);
    EXPECT_EQ(port.inputValue, 0xAB00u);
    EXPECT_EQ(port.outputMask, 0u);
    EXPECT_TRUE(port.masked);
    EXPECT_EQ(onlyExpectation("1 expect out 000021").outputMask, 0xFFFFFFu);
}

TEST(ExpectationLines, MomentsAreOneASpanOrASpanToTheEnd) {
    const struct {
        const char* line;
        int64_t from;
        int64_t to;
        bool span;
    } cases[] = {
        {"2500 expect running", 2500, 2500, false},
        {"2000..4000 expect out0 1", 2000, 4000, true},
        {"3000..3000 expect stopped", 3000, 3000, true},
        {"2000.. expect line 4", 2000, Expectation::openEnd, true},
        {"2500 expect error none", 0, 2500, false},  // an error stop at one moment: by then
        {"100..200 expect error loop", 100, 200, true},
    };
    for (const auto& c : cases) {
        const Expectation e = onlyExpectation(c.line);
        EXPECT_EQ(e.from, c.from) << c.line;
        EXPECT_EQ(e.to, c.to) << c.line;
        EXPECT_EQ(e.span, c.span) << c.line;
    }
}

TEST(ExpectationLines, EveryOtherKindReadsItsWords) {
    const Expectation reaction = onlyExpectation("0.. expect out5 rise within 50 after in3 change");
    EXPECT_EQ(reaction.kind, ExpectationKind::Reaction);
    EXPECT_EQ(reaction.response, (PinName{PinSide::Output, 5}));
    EXPECT_EQ(reaction.trigger, (PinName{PinSide::Input, 3}));
    EXPECT_EQ(reaction.responseEdge, Edge::Rise);
    EXPECT_EQ(reaction.triggerEdge, Edge::Change);
    EXPECT_EQ(reaction.within, 50);
    EXPECT_EQ(onlyExpectation("5 expect line 256").line, 256);
    EXPECT_EQ(onlyExpectation("5 expect stopped").kind, ExpectationKind::Stopped);
    // The text as written, inner blanks kept, up to the comment.
    EXPECT_EQ(onlyExpectation("5 expect screen   *B  12     W00000FF  # the break").screenText, "*B  12     W00000FF");
    const Expectation error = onlyExpectation("5 expect error device");
    EXPECT_FALSE(error.noError);
    EXPECT_EQ(error.errorStop, ErrorStop::Device);
}

struct Refusal {
    const char* line;
    const char* message;
};

TEST(ExpectationLines, MistakesAreRefusedWithTheirLine) {
    const Refusal refusals[] = {
        {"5 expect", "'expect' needs what to expect"},
        {"5 expect out3", "'out3' needs a value: PIN 0|1 [PIN 0|1]..."},
        {"5 expect out3 2", "bad value '2' for out3: 0 or 1"},
        {"5 expect out24 1", "bad pin 'out24': out0 to out23 or in0 to in23"},
        {"5 expect in03 1", "bad pin 'in03': out0 to out23 or in0 to in23"},
        {"5 expect out3 1 out3 0", "out3 is named twice"},
        {"5 expect out3 1 in9x 0", "bad pin 'in9x': out0 to out23 or in0 to in23"},
        {"5 expect out 00002", "bad value '00002': six hexadecimal digits"},
        {"5 expect out 000021 mask 000000", "bad mask '000000': six hexadecimal digits, not all 0"},
        {"5 expect out 000121 mask 0000FF", "value 000121 has bits outside the mask 0000FF"},
        {"5 expect out 000021 with 0000FF", "'with' where 'mask' belongs: out|in HHHHHH [mask HHHHHH]"},
        {"5 expect out5 rise within 50 after in3",
         "incomplete 'out5' expectation: PIN rise|fall|change within MS after PIN rise|fall|change"},
        {"5 expect out5 rise in 50 after in3 rise",
         "bad reaction: PIN rise|fall|change within MS after PIN rise|fall|change"},
        {"5 expect out5 rise within 5s after in3 rise", "bad time '5s': milliseconds"},
        {"5 expect out5 rise within 50 after in3 rises", "bad edge 'rises': rise, fall or change"},
        {"5 expect line 0", "bad line '0': from 1 to 256, as the screen numbers lines"},
        {"5 expect line 257", "bad line '257': from 1 to 256, as the screen numbers lines"},
        {"5 expect running now", "too many words in 'running' expectation: running"},
        {"5 expect screen", "'screen' needs the text to look for"},
        {"5 expect error fatal", "bad error 'fatal': none, data, loop or device"},
        {"5 expect outputs 1", "unknown expectation 'outputs': a pin, out, in, line, running, stopped, screen or error"},
        {"4000..2000 expect running", "bad time '4000..2000': the span ends before it starts"},
        {"2000..4000 key G", "a time span '2000..4000' is for expect only"},
        {"2000...4000 expect running", "bad time span '2000...4000': A..B or A.., in milliseconds"},
        {"..4000 expect running", "bad time span '..4000': A..B or A.., in milliseconds"},
        {"5 break", "'break' needs an argument"},
        {"5 break 0", "bad line '0': from 1 to 256, as the screen numbers lines"},
        {"5 continue 12 13", "too many arguments for 'continue'"},
        {"5 unbreak 12", "too many arguments for 'unbreak'"},
    };
    for (const Refusal& refusal : refusals) {
        EventsFile file;
        std::string error;
        EXPECT_FALSE(parseEventsFile("# first\n" + std::string(refusal.line) + "\n", "e.txt", file, error));
        EXPECT_EQ(error, std::string("e.txt:2: ") + refusal.message) << refusal.line;
    }
}

// break N, continue N and unbreak are the operator's clicks: on line N's listing cell with Ctrl or
// Shift, and with Ctrl past the last line, wherever a program ends.
TEST(ExpectationLines, LineNumbersBecomeTheClicksOnTheirCells) {
    EventsFile file;
    std::string error;
    ASSERT_TRUE(parseEventsFile("10 break 1\n20 break 27\n30 continue 256\n40 unbreak\n", "e", file, error)) << error;
    ASSERT_EQ(file.events.size(), 4u);
    const struct {
        int32_t index;
        bool control;
        bool shift;
    } clicks[] = {{0, true, false}, {26, true, false}, {255, false, true}};
    for (size_t i = 0; i < 3; ++i) {
        const HeadlessEvent& event = file.events[i];
        EXPECT_EQ(event.kind, HeadlessEventKind::Click);
        EXPECT_EQ(hitTestLine(maxProgramLines, event.x, event.y), clicks[i].index);
        EXPECT_EQ(event.control, clicks[i].control);
        EXPECT_EQ(event.shift, clicks[i].shift);
    }
    const HeadlessEvent& unbreak = file.events[3];
    EXPECT_TRUE(unbreak.control && !unbreak.shift);
    for (const int32_t lineCount : {1, 13, 255, 256}) EXPECT_EQ(hitTestLine(lineCount, unbreak.x, unbreak.y), lineCount);
    EXPECT_EQ(unbreak.sourceLine, 4);
}

TEST(ExpectationLines, ARehearsalSetsThemAside) {
    std::vector<HeadlessEvent> events;
    std::string error;
    ASSERT_TRUE(parseEvents("10 key G\n20..30 expect running\n40 state\n", "e", events, error)) << error;
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].sourceLine, 3);
}

// W0000001 goes out at 1020 and W0000000 at 1250, then every 460 ms again: out0 is 1 from 1020,
// 0 from 1250, 1 from 1480, 0 from 1710 ...
constexpr char blink[] = "010 W0000001\n    SLP 0.2\n    W0000000\n    SLP 0.2\n    JMP 010\n";

class Expectations : public HeadlessTest {
protected:
    // Every finding, "LINE:COL: message", after the rehearsal of events on the program.
    std::vector<std::string> findings(const std::string& events, int64_t until = 60000) {
        EventsFile file;
        std::string error;
        EXPECT_TRUE(parseEventsFile(events, "e", file, error)) << error;
        HeadlessRun run({directory.string(), "VB000001"});
        ExpectationChecker checker(file.expectations, run);
        run.setObserver(&checker);
        for (const HeadlessEvent& event : file.events) run.post(event);
        rehearseChecked(run, checker, until);
        std::vector<std::string> found;
        for (size_t i = 0; i < file.expectations.size(); ++i) {
            const Verdict& verdict = checker.verdicts()[i];
            EXPECT_TRUE(verdict.decided) << file.expectations[i].text;
            for (const Failure& failure : verdict.failures) {
                found.push_back(std::to_string(file.expectations[i].sourceLine) + ":" + std::to_string(failure.column) +
                                ": " + failure.message);
            }
        }
        return found;
    }
};

struct Judged {
    const char* name;
    const char* events;
    std::vector<std::string> findings;
    int64_t until = 60000;
};

class JudgedExpectations : public Expectations, public ::testing::WithParamInterface<Judged> {};

TEST_P(JudgedExpectations, GiveTheirFindings) {
    writeProgram(blink);
    EXPECT_EQ(findings(GetParam().events, GetParam().until), GetParam().findings);
}

INSTANTIATE_TEST_SUITE_P(
    Kt57Run, JudgedExpectations,
    ::testing::Values(
        Judged{"PinsAtAMoment",
               "1020 expect out0 1\n1249 expect out0 1\n1250 expect out0 1\n1250 expect out0 1 out1 1 in0 0\n",
               {"3:13: expected out0 = 1 at 1250 ms, was 0", "4:13: expected out0 = 1 at 1250 ms, was 0",
                "4:20: expected out1 = 1 at 1250 ms, was 0"}},
        // Whatever is due at a millisecond has happened when it is judged, in any order in the file.
        Judged{"AfterEverythingDueAtTheMoment",
               "1500 expect in0 0\n1500 input 000001\n1500 input 000000\n1500..1500 expect in0 0\n1600 input 000003\n"
               "1600 expect in 000001 mask 000001\n1600 expect in 000001\n",
               {"7:13: expected in = 000001 at 1600 ms, was 000003"}},
        Judged{"ASpanFailsAtItsFirstWrongMoment",
               "1020..1249 expect out0 1\n1100..1400 expect out0 1\n1300..1600 expect out 000000\n",
               {"2:19: expected out0 = 1 from 1100 to 1400 ms, was 0 at 1250 ms",
                "3:19: expected out = 000000 from 1300 to 1600 ms, was 000001 at 1480 ms"}},
        Judged{"ASpanToTheEnd", "1200.. expect out1 0\n1200.. expect out0 1\n",
               {"2:15: expected out0 = 1 from 1200 ms to the end, was 0 at 1250 ms"}},
        Judged{"AReactionInTimeLateOrNeverTriggered",
               "0.. expect out0 fall within 230 after out0 rise\n0.. expect out0 fall within 229 after out0 rise\n"
               "1000..2000 expect out1 rise within 1 after in5 change\n",
               {"2:12: expected out0 to fall within 229 ms of out0 rising from 0 ms to the end; out0 rose at 1020 ms "
                "and out0 did not fall by 1249 ms",
                "3:19: expected out1 to rise within 1 ms of in5 changing from 1000 to 2000 ms; in5 never changed"}},
        // An input at 1300 that no pin follows. A span to the end ends with the rehearsal, so the
        // answer due after --until is not judged there; at a moment or over a span it is.
        Judged{"AReactionCutShortByUntil",
               "1300 input 000001\n0.. expect out1 rise within 500 after in0 rise\n"
               "1300 expect out1 rise within 100 after in0 rise\n1300..1400 expect out1 rise within 500 after in0 rise\n",
               {"3:13: expected out1 to rise within 100 ms of in0 rising at 1300 ms; in0 rose at 1300 ms and out1 "
                "did not rise by 1400 ms",
                "4:19: expected out1 to rise within 500 ms of in0 rising from 1300 to 1400 ms; in0 rose at 1300 ms and "
                "the rehearsal ended at 1400 ms (--until) before out1 rose"},
               1400},
        Judged{"TheLineAndWhetherItRuns",
               "1100 expect line 2\n1100 expect line 1\n1100 expect running\n1300 key S\n1300 expect stopped\n"
               "1300 expect line 3\n1200 expect stopped\n",
               {"2:13: expected line 1 at 1100 ms, was line 2", "6:13: expected line 3 at 1300 ms, was stopped",
                "7:13: expected stopped at 1200 ms, was running line 2"}},
        Judged{"TextOnTheScreen",
               "1100 expect screen Ver3.2\n1100 expect screen 実行データNo.   0 /   5\n1100 expect screen Ver 3.2\n"
               "1100..1200 expect screen no such text\n",
               {"3:13: expected \"Ver 3.2\" on the screen at 1100 ms, it was not there",
                "4:19: expected \"no such text\" on the screen from 1100 to 1200 ms, it was not there at 1100 ms"}},
        // The board falls silent at 1500: the W0000000 of 1710 gets no reply, and the data error
        // stops the run at 2730.
        Judged{"ErrorStopsByAMomentAndOverASpan",
               "1500 mute\n2729 expect error none\n2730 expect error data\n0.. expect error none\n"
               "0.. expect error loop\n1000..2000 expect error data\n2000..3000 expect error none\n",
               {"4:12: expected no error stop from 0 ms to the end, was error data at 2730 ms",
                "5:12: expected error loop from 0 ms to the end, there was none",
                "6:19: expected error data from 1000 to 2000 ms, there was none",
                "7:19: expected no error stop from 2000 to 3000 ms, was error data at 2730 ms"}},
        // After S nothing more can happen: the last state holds for good, past --until too.
        Judged{"AfterTheLastStateEverythingIsKnown",
               "1300 key S\n90000 expect out 000000\n90000 expect stopped\n5000.. expect out0 0\n"
               "0.. expect out0 rise within 10 after out1 rise\n",
               {"5:12: expected out0 to rise within 10 ms of out1 rising from 0 ms to the end; out1 never rose"},
               5000},
        // The blink sleeps through 1400: the run ends there, and whatever lies past it is unknown.
        Judged{"PastUntilNothingIsKnown",
               "1400 expect out0 0\n1401 expect out0 0\n1300..1500 expect out0 0\n1300.. expect out0 0\n",
               {"2:1: expected out0 = 0 at 1401 ms; the rehearsal ended at 1400 ms (--until)",
                "3:1: expected out0 = 0 from 1300 to 1500 ms; the rehearsal ended at 1400 ms (--until)"},
               1400}),
    [](const auto& info) { return std::string(info.param.name); });

// The pins a finding explains are the ones that were wrong, at the moment they were.
TEST_F(Expectations, AFailureNamesThePinAndTheMomentForItsWhy) {
    writeProgram(blink);
    EventsFile file;
    std::string error;
    ASSERT_TRUE(parseEventsFile("1100..1400 expect out0 1 out1 0\n0.. expect out0 fall within 100 after out0 rise\n",
                                "tests/e.txt", file, error));
    HeadlessRun run({directory.string(), "VB000001"});
    ExpectationChecker checker(file.expectations, run);
    run.setObserver(&checker);
    rehearseChecked(run, checker, 3000);
    ASSERT_EQ(checker.verdicts()[0].failures.size(), 1u);
    const Failure& pin = checker.verdicts()[0].failures[0];
    EXPECT_TRUE(pin.aboutPin);
    EXPECT_EQ(pin.pin, (PinName{PinSide::Output, 0}));
    EXPECT_EQ(pin.at, 1250);
    EXPECT_EQ(findingText("tests/e.txt", file.expectations[0], pin),
              "tests/e.txt:1:19: error: expected out0 = 1 from 1100 to 1400 ms, was 0 at 1250 ms\n");
    const Failure& reaction = checker.verdicts()[1].failures.at(0);
    EXPECT_TRUE(reaction.aboutPin);
    EXPECT_EQ(reaction.pin, (PinName{PinSide::Output, 0}));
    EXPECT_EQ(reaction.at, 1120);  // out0 should have fallen by then
}

TEST(JunitText, KeepsWhatXmlHoldsAndReplacesTheRest) {
    const struct {
        const char* text;
        const char* xml;
    } cases[] = {
        {"a<b & \"c\" 'd' >", "a&lt;b &amp; &quot;c&quot; &apos;d&apos; &gt;"},
        {"two\nlines\tand tab", "two&#10;lines&#9;and tab"},
        {"実行データ", "実行データ"},
        {"bell\x07 del\x7F cr\r", "bell\xEF\xBF\xBD del\xEF\xBF\xBD cr\xEF\xBF\xBD"},
        {"cp932 \x8E\xC0", "cp932 \xEF\xBF\xBD\xEF\xBF\xBD"},   // not UTF-8
        {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"cut \xE5\xAE", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) EXPECT_EQ(xmlText(c.text), c.xml) << c.text;
}

}  // namespace
}  // namespace kt57::test
