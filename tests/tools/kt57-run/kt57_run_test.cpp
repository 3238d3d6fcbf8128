// kt57-run as a user runs it: the example's whole trace, the end conditions, and the events
// file's grammar with its errors (exit status 2, "FILE:LINE: message").
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/headless_fixture.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/run_trace.h"

namespace kt57::test {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct ToolResult {
    int status;
    std::string out;
    std::string err;
};

class Kt57Run : public HeadlessTest {
protected:
    ToolResult tool(const std::string& arguments) {
        const std::string binary = KT57_RUN_BINARY;
        const std::filesystem::path out = directory / "trace.out";
        const std::filesystem::path err = directory / "trace.err";
        const std::string command = "cd '" + directory.string() + "' && '" + binary + "' " + arguments + " >'" +
                                    out.string() + "' 2>'" + err.string() + "'";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    }
    std::filesystem::path example(const char* name) {
        return std::filesystem::path(KT57_RUN_EXAMPLE_DIR) / name;
    }
};

TEST_F(Kt57Run, ExampleWithKeysClicksAndBoardFaultsGivesTheDocumentedTrace) {
    std::filesystem::copy_file(example("KT57Data.txt"), directory / "KT57Data.txt");
    std::filesystem::copy_file(example("KT57Mode.txt"), directory / "KT57Mode.txt");
    writeFile("KT57Mode.txt", "MD\nVB000001 (old)\n");
    const ToolResult result = tool("--events '" + example("events.txt").string() + "'");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, slurp(example("expected-trace.txt")));
    EXPECT_EQ(readFile("KT57Mode.txt"), "MD\nVB000001\n");  // menu 40001 wrote it back
}

// The bundled demo talks to the virtual board without a fault: each command is answered before
// the next goes out, and no error stops it.
TEST_F(Kt57Run, BundledDemoRunsAgainstTheVirtualBoard) {
    const ToolResult result = tool(std::string("--until 10000 '") + KT57_DEMO_DIR + "'");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind("0 open\n1000 close\n1020 open\n1020 send ", 0), 0u);
    EXPECT_EQ(result.out.find(" error "), std::string::npos);
    std::istringstream lines(result.out);
    std::string line;
    int sends = 0;
    int unanswered = 0;
    while (std::getline(lines, line)) {
        if (line.find(" send ") != std::string::npos) {
            EXPECT_EQ(unanswered, 0) << line;
            ++sends;
            unanswered = 1;
        }
        if (line.find(" recv ") != std::string::npos) unanswered = 0;
    }
    EXPECT_GT(sends, 20);
    EXPECT_NE(result.out.find("10000 state "), std::string::npos);
}

TEST_F(Kt57Run, EndsWhenNothingMoreCanHappen) {
    writeProgram("W0000042\n");
    const ToolResult result = tool("--until 100000");
    EXPECT_EQ(result.status, 0);
    // Sent at the first tick; stopped since, and the periodic refresh lets the board go. A 'U'
    // reply sets only the outputs.
    EXPECT_EQ(result.out,
              "0 open\n1000 close\n1020 open\n1020 send W0000042\\x0D\n1030 recv U0000042\\x0D\n1210 close\n"
              "1230 state next=1 current=0 continue=1 break=1 count=1 mode=A resume=A phase=0 reply=0 sleep=0 "
              "in=000000 out=000042 pol=000000 flags=000000 cond=0 loop=0 link=0\n");
}

TEST_F(Kt57Run, UntilIsInclusiveAndStampsTheFinalState) {
    writeProgram("SLP 100\n");
    writeFile("events.txt", "1500 state\n1501 state\n");
    const ToolResult result = tool("--events events.txt --until 1500 --board-serial AB12");
    EXPECT_EQ(result.status, 0);
    const std::string state = " state next=1 current=0 continue=1 break=1 count=1 mode=A resume=A phase=0 reply=0 sleep=996 ";
    EXPECT_NE(result.out.find("1500" + state), std::string::npos);
    EXPECT_EQ(result.out.find("1501"), std::string::npos);
    EXPECT_EQ(result.out.substr(result.out.rfind('\n', result.out.size() - 2) + 1, 5), "1500 ");
}

// A KT57Data.txt stands for its folder, as for kt57d: the same rehearsal, the mode file written
// beside it, also when the path has no folder part.
TEST_F(Kt57Run, TakesTheProgramFileForItsFolder) {
    std::filesystem::create_directory(directory / "demo");
    std::filesystem::copy_file(example("KT57Data.txt"), directory / "demo" / "KT57Data.txt");
    const std::string events = "--events '" + example("events.txt").string() + "' ";
    ToolResult runs[2];
    const char* paths[] = {"demo", "demo/KT57Data.txt"};
    for (int i = 0; i < 2; ++i) {
        writeFile("demo/KT57Mode.txt", "MD\nVB000001 (old)\n");
        runs[i] = tool(events + paths[i]);
        EXPECT_EQ(runs[i].status, 0) << runs[i].err;
        EXPECT_EQ(readFile("demo/KT57Mode.txt"), "MD\nVB000001\n") << paths[i];
    }
    EXPECT_EQ(runs[1].out, runs[0].out);
    EXPECT_EQ(runs[1].out, slurp(example("expected-trace.txt")));

    writeProgram("W0000042\n");
    const ToolResult bare = tool("--until 100000 KT57Data.txt");
    EXPECT_EQ(bare.status, 0) << bare.err;
    EXPECT_EQ(bare.out, tool("--until 100000").out);
}

// --error-lines adds, after each error stop, the line it stopped at as the screen numbers it, and
// changes nothing else in the trace.
TEST_F(Kt57Run, ErrorLinesNameTheLineOfEachErrorStopAndAddNothingElse) {
    const struct {
        const char* kind;
        const char* program;
        const char* events;
        int line;
    } cases[] = {
        {"data", "    SLP 0.1\n010 W0000001\n    SLP 0.1\n    JMP 010\n", "1500 mute\n", 2},  // no reply to the W
        {"loop", "    W0000001\n    SLP 0.1\n010 OR  000001\n    JMP 010\n", "", 3},  // the 201st line: the OR
        {"device", "    SLP 0.1\n    SLP 0.1\n    W0000001\n", "0 fail open\n", 3},  // the W finds no board
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        writeProgram(c.program);
        writeFile("events.txt", c.events);
        const ToolResult plain = tool("--events events.txt --until 20000");
        const ToolResult marked = tool("--error-lines --events events.txt --until 20000");
        ASSERT_EQ(marked.status, 0) << marked.err;
        EXPECT_EQ(plain.out.find("error-line"), std::string::npos);
        std::istringstream lines(marked.out);
        std::string line, previous, withoutMarks;
        int marks = 0;
        while (std::getline(lines, line)) {
            const size_t at = line.find(" error-line ");
            if (at == std::string::npos) {
                withoutMarks += line + "\n";
                previous = line;
                continue;
            }
            EXPECT_EQ(line.substr(at), " error-line " + std::to_string(c.line));
            EXPECT_EQ(previous, line.substr(0, at) + " error " + c.kind);  // right after it, at its time
            ++marks;
        }
        EXPECT_EQ(marks, 1) << marked.out;
        EXPECT_EQ(withoutMarks, plain.out);
    }
}

TEST_F(Kt57Run, WithoutAProgramEndsRightAfterStartUp) {
    const ToolResult result = tool("");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.substr(0, 23), "0 open\n0 close\n20 state");
}

TEST_F(Kt57Run, ScreenPrintsTheCanvasRowsIndented) {
    writeProgram("SLP 100\n");
    writeFile("events.txt", "1200 screen\n1200 close\n");
    const ToolResult result = tool("--events events.txt");
    EXPECT_NE(result.out.find("1200 screen\n  y=10  " + cp932ToUtf8("\x83X\x83\x8A\x81[\x83v\x92\x86", 10)),
              std::string::npos);
    // Closed from the title bar: no mode file, and the board was not open to close.
    EXPECT_NE(result.out.find("\n1200 exit\n1200 state"), std::string::npos);
}

// The demo's own tests hold; the test mode prints no trace, only the summary on standard error.
TEST_F(Kt57Run, TestModePassesTheDemosTests) {
    const std::string demo = KT57_DEMO_DIR;
    const ToolResult result =
        tool("--test '" + demo + "/tests/blink.txt' '" + demo + "/tests/inputs.txt' '" + demo + "/tests/operator.txt' '" + demo + "'");
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "kt57-run: 24 expectations in 3 events files: 24 held, 0 failed\n");
}

// Each wrong expectation gives its finding in the compiler's form, in file order, and the run
// exits with 1; a file that cannot be read does not keep the others from running, but makes it 2.
TEST_F(Kt57Run, TestModeFindsEachWrongExpectation) {
    std::filesystem::copy_file(KT57_RUN_WRONG_EXPECTATIONS, directory / "wrong.txt");
    std::filesystem::copy_file(std::string(KT57_DEMO_DIR) + "/KT57Data.txt", directory / "KT57Data.txt");
    const char* findings =
        "wrong.txt:3:13: error: expected out4 = 0 at 1030 ms, was 1\n"
        // A pin that was wrong: why it had its value, from the rehearsal's timeline.
        "  out4 is 1 at 1030 ms.\n"
        "    It rose at 1030 ms, when line 7 (W0@) sent W00000ff.\n"
        "    That frame sent the output register, whose bit 4 was set by line 6 (OR@ 0000F0) at 1030 ms.\n"
        "    Next change: out4 falls at 1360 ms.\n"
        "wrong.txt:4:13: error: expected out = 0000F0 under mask 0000FF at 1030 ms, was 0000FF\n"
        "wrong.txt:5:19: error: expected out4 to fall within 300 ms of out4 rising from 1000 to 3000 ms; out4 rose "
        "at 1030 ms and out4 did not fall by 1330 ms\n"
        "  out4 is 1 at 1330 ms.\n"
        "    It rose at 1030 ms, when line 7 (W0@) sent W00000ff.\n"
        "    That frame sent the output register, whose bit 4 was set by line 6 (OR@ 0000F0) at 1030 ms.\n"
        "    Next change: out4 falls at 1360 ms.\n"
        "wrong.txt:6:13: error: expected line 20 at 3500 ms, was line 24\n"
        "wrong.txt:8:12: error: expected error loop from 0 ms to the end, there was none\n";
    const ToolResult wrong = tool("--test wrong.txt");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.out, findings);
    EXPECT_EQ(wrong.err, "kt57-run: 6 expectations in 1 events file: 1 held, 5 failed\n");

    writeFile("bad.txt", "100 expect out3 1\n200 expect out3 maybe\n");
    const ToolResult bad = tool("--test bad.txt missing.txt wrong.txt .");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, findings);
    EXPECT_EQ(bad.err,
              "bad.txt:2: bad value 'maybe' for out3: 0 or 1\n"
              "kt57-run: missing.txt: cannot read the events file\n"
              "kt57-run: 6 expectations in 1 events file: 1 held, 5 failed; 2 events files not run\n");
}

// Every events file starts from the folder's own files, which stay as they were, though the
// example's menu 40001 writes the mode file back; the copies are gone afterwards.
TEST_F(Kt57Run, TestModeRehearsesACopyOfTheFolder) {
    std::filesystem::copy_file(example("KT57Data.txt"), directory / "KT57Data.txt");
    writeMode("MD\nVB000001 (old)\n");
    const std::string events = slurp(example("events.txt"));
    writeFile("first.txt", events + "3920 expect out 000000\n");
    writeFile("second.txt", events + "1000 expect screen 実行データNo.   0 /  13\n");
    const std::filesystem::path temporary = directory / "tmp";
    std::filesystem::create_directory(temporary);
    setenv("TMPDIR", temporary.c_str(), 1);
    const ToolResult result = tool("--test first.txt second.txt KT57Data.txt");
    unsetenv("TMPDIR");
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(result.err, "kt57-run: 2 expectations in 2 events files: 2 held, 0 failed\n");
    EXPECT_EQ(readFile("KT57Mode.txt"), "MD\nVB000001 (old)\n");
    EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

// Expectations change nothing in a plain rehearsal: the trace is the one without them, and a wrong
// one changes no exit status. Only their grammar is checked.
TEST_F(Kt57Run, APlainRehearsalSetsExpectationsAside) {
    std::filesystem::copy_file(std::string(KT57_DEMO_DIR) + "/KT57Data.txt", directory / "KT57Data.txt");
    std::ifstream operatorTest(std::string(KT57_DEMO_DIR) + "/tests/operator.txt");
    std::string line;
    std::string events;
    std::string withoutExpectations;
    while (std::getline(operatorTest, line)) {
        events += line + "\n";
        if (line.find(" expect ") == std::string::npos) withoutExpectations += line + "\n";
    }
    ASSERT_NE(events, withoutExpectations);
    writeFile("with.txt", events + "1030 expect out4 0\n");
    writeFile("without.txt", withoutExpectations);
    const ToolResult with = tool("--events with.txt --until 8000");
    const ToolResult without = tool("--events without.txt --until 8000");
    EXPECT_EQ(with.status, 0);
    EXPECT_EQ(with.out, without.out);
    EXPECT_NE(with.out.find("send R0000000"), std::string::npos);
}

TEST_F(Kt57Run, TheJunitReportCannotBeWritten) {
    writeProgram("W0000001\n");
    writeFile("e.txt", "1100 expect out0 1\n");
    const ToolResult result = tool("--test --junit no/such/folder/report.xml e.txt");
    EXPECT_EQ(result.status, 3);
    EXPECT_NE(result.err.find("kt57-run: no/such/folder/report.xml: cannot write the report: No such file or directory\n"),
              std::string::npos);
}

// --lines: each executed line with its effects, each reply with the registers it changed, and the
// passes of a poll that find nothing new folded into one count; without those records the trace is
// the plain one.
TEST_F(Kt57Run, LinesTraceTheExecutedLinesAndFoldThePollsThatChangeNothing) {
    std::filesystem::copy_file(example("KT57Data.txt"), directory / "KT57Data.txt");
    std::filesystem::copy_file(example("KT57Mode.txt"), directory / "KT57Mode.txt");  // M: waits for G
    writeFile("events.txt", "1100 key G\n2500 input 000001\n");
    const ToolResult plain = tool("--events events.txt --until 2600");
    const ToolResult lines = tool("--lines --events events.txt --until 2600");
    ASSERT_EQ(lines.status, 0) << lines.err;
    for (const char* record : {
             "1100 line 1: skipped\n1100 line 2 SET 3: loop=3\n1100 line 3 W0000001: command\n",
             "1110 reply 3 W0000001: out=000001\n1110 line 4 SLP 0.1: sleep=1\n",
             "1360 line 7 DEC: loop=2\n1360 line 8 JNZ 020: jump to 3\n",
             "1880 line 7 DEC: loop=0\n1880 line 8 JNZ 020: no jump\n1880 line 9 R0000000: command\n",
             "1890 reply 9 R0000000\n1890 line 10 AND 000001\n1890 line 11 JNG 030: jump to 9\n",
             // Polls from 1900 to 2500 find input 0 off: folded until the one that finds it on.
             "2510 recv R0000001\\x0D\n2510 folded 177\n2510 reply 9 R0000000: in=000001 out=000001\n"
             "2510 line 10 AND 000001: cond=1\n2510 line 11 JNG 030: no jump\n",
         }) {
        EXPECT_NE(lines.out.find(record), std::string::npos) << record;
    }
    std::istringstream in(lines.out);
    std::string line;
    std::string withoutRecords;
    while (std::getline(in, line)) {
        const std::string what = line.substr(line.find(' ') + 1);
        if (what.rfind("line ", 0) != 0 && what.rfind("reply ", 0) != 0 && what.rfind("folded ", 0) != 0) {
            withoutRecords += line + "\n";
        }
    }
    EXPECT_EQ(withoutRecords, plain.out);
}

struct BadCall {
    const char* name;
    const char* arguments;
    const char* events;  // written to events.txt when not null
    const char* message;
};

class Kt57RunErrors : public Kt57Run, public ::testing::WithParamInterface<BadCall> {};

TEST_P(Kt57RunErrors, ExitWithStatusTwoAndOneClearLine) {
    writeProgram("NOP\n");
    if (GetParam().events != nullptr) writeFile("events.txt", GetParam().events);
    const ToolResult result = tool(GetParam().arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Kt57Run, Kt57RunErrors,
    ::testing::Values(
        BadCall{"UnknownOption", "--fast", nullptr, "kt57-run: unknown option '--fast'"},
        BadCall{"MissingValue", "--until", nullptr, "kt57-run: option --until needs a value"},
        BadCall{"BadUntil", "--until 1e3", nullptr, "kt57-run: bad --until '1e3': milliseconds"},
        BadCall{"LongSerial", "--board-serial VB0000012", nullptr,
                "kt57-run: bad --board-serial 'VB0000012': 1 to 8 characters from '0' to 'Z'"},
        BadCall{"SerialOutOfRange", "--board-serial vb01", nullptr,
                "kt57-run: bad --board-serial 'vb01': 1 to 8 characters from '0' to 'Z'"},
        BadCall{"MissingDirectory", "nowhere", nullptr, "kt57-run: nowhere: no such folder or file"},
        BadCall{"AnotherFile", "events.txt", "10 state\n", "kt57-run: events.txt: not a folder or a KT57Data.txt"},
        BadCall{"LatencyOverTheLimit", "--events events.txt", "10 latency 1000000001\n",
                "events.txt:1: bad latency '1000000001': whole milliseconds from 0 to 1000000000"},
        BadCall{"TwoDirectories", ". .", nullptr, "kt57-run: more than one DIR: '.'"},
        BadCall{"UnreadableEvents", "--events missing.txt", nullptr,
                "kt57-run: missing.txt: cannot read the events file"},
        BadCall{"BadTime", "--events events.txt", "# fine\n\n-5 key G\n", "events.txt:3: bad time '-5': milliseconds"},
        BadCall{"UnknownEvent", "--events events.txt", "10 keys G\n", "events.txt:1: unknown event 'keys'"},
        BadCall{"TwoCharacterKey", "--events events.txt", "10 key GG\n",
                "events.txt:1: bad key 'GG': one printable character, enter, esc or code N"},
        BadCall{"PostOther", "--events events.txt", "10 post S\n", "events.txt:1: bad posted command 'S': A or P"},
        BadCall{"ModifierTwice", "--events events.txt", "10 click 1 2 ctrl ctrl\n",
                "events.txt:1: bad modifier 'ctrl': ctrl and shift, each once"},
        BadCall{"ShortInput", "--events events.txt", "10 input 12345\n",
                "events.txt:1: bad inputs '12345': six hexadecimal digits"},
        BadCall{"BadEscape", "--events events.txt", "10 inject R\\x0\n",
                "events.txt:1: bad bytes 'R\\x0': characters and \\xHH escapes"},
        BadCall{"ExtraArgument", "--events events.txt", "10 paint now\n", "events.txt:1: too many arguments for 'paint'"},
        BadCall{"MissingArgument", "--events events.txt", "10 menu\n", "events.txt:1: 'menu' needs an argument"},
        BadCall{"NoBrowserAlone", "--no-browser", nullptr, "kt57-run: --no-browser goes with --studio"},
        BadCall{"StudioWithWaveform", "--studio --vcd run.vcd", nullptr,
                "kt57-run: --studio prints no trace: it takes neither --vcd nor --error-lines"},
        BadCall{"StudioWithErrorLines", "--error-lines --studio --no-browser", nullptr,
                "kt57-run: --studio prints no trace: it takes neither --vcd nor --error-lines"},
        BadCall{"StudioWithBadEvents", "--studio --no-browser --events events.txt", "10 keys G\n",
                "events.txt:1: unknown event 'keys'"},
        BadCall{"BadExpectation", "--events events.txt", "10..20 expect out 12\n",
                "events.txt:1: bad value '12': six hexadecimal digits"},
        BadCall{"JunitWithoutTest", "--junit r.xml", nullptr, "kt57-run: --junit goes with --test"},
        BadCall{"TestWithoutEvents", "--test .", nullptr, "kt57-run: --test needs at least one events file"},
        BadCall{"TestWithEventsOption", "--test --events events.txt events.txt", "10 state\n",
                "kt57-run: --test takes its events files as operands, not by --events"},
        BadCall{"TestWithATrace", "--lines --test events.txt", "10 state\n",
                "kt57-run: --test prints findings, not a trace: no --vcd, --error-lines or --lines with it"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Kt57RunEvents, EachEventLineBecomesItsMessage) {
    std::vector<HeadlessEvent> events;
    std::string error;
    ASSERT_TRUE(parseEvents("5 key a\n6 key enter\n7 key esc\n8 key code 35  # '#' itself\n9 post P\n"
                            "10 dblclick 300 7 shift ctrl\n11 menu 105537\n12 input 00ff0A\n13 latency 250\n"
                            "14 inject U0\\x5C\\x20x\\x0D\n15 unplug # gone\n",
                            "e", events, error))
        << error;
    ASSERT_EQ(events.size(), 11u);
    EXPECT_EQ(events[0].kind, HeadlessEventKind::Key);
    EXPECT_EQ(events[0].code, 'a');
    EXPECT_EQ(events[1].code, 13u);
    EXPECT_EQ(events[2].code, 27u);
    EXPECT_EQ(events[3].code, 35u);
    EXPECT_EQ(events[4].kind, HeadlessEventKind::Post);
    EXPECT_EQ(events[4].code, 'P');
    EXPECT_EQ(events[5].kind, HeadlessEventKind::DoubleClick);
    EXPECT_EQ(events[5].x, 300u);
    EXPECT_EQ(events[5].y, 7u);
    EXPECT_TRUE(events[5].control && events[5].shift);
    EXPECT_EQ(events[6].code, 105537u);  // 0x19C41: its low 16 bits are 40001
    EXPECT_EQ(events[7].code, 0x00FF0Au);
    EXPECT_EQ(events[8].code, 250u);
    EXPECT_EQ(events[9].bytes, std::string("U0\\ x\r"));
    EXPECT_EQ(events[10].kind, HeadlessEventKind::Unplug);
    EXPECT_EQ(events[10].at, 15);
}

TEST(Kt57RunTrace, FramesEscapeEverythingButPlainCharacters) {
    EXPECT_EQ(formatFrame("R0\\ ~\x7F\r\x81", 8), "R0\\x5C ~\\x7F\\x0D\\x81");
}

// --at prints the moment exactly as the plain run with --until that moment ends: its screen in the
// trace's form, and the same final state line, wherever the moment falls (in a sleep, at a key,
// after the run went idle, at 0).
TEST_F(Kt57Run, AtShowsWhatARunUntilThatMomentEndsWith) {
    std::filesystem::copy_file(example("KT57Data.txt"), directory / "KT57Data.txt");
    const std::string events = "--events '" + example("events.txt").string() + "' ";
    for (const char* at : {"0", "1", "1700", "1880", "2000", "3130", "3400", "3925", "9000"}) {
        SCOPED_TRACE(at);
        writeFile("KT57Mode.txt", "MD\nVB000001\n");
        const ToolResult plain = tool(events + "--until " + at);
        ASSERT_EQ(plain.status, 0) << plain.err;
        const std::string lastState = plain.out.substr(plain.out.rfind('\n', plain.out.size() - 2) + 1);
        const ToolResult moment = tool(events + "--at " + at);
        ASSERT_EQ(moment.status, 0) << moment.err;
        const size_t state = moment.out.rfind('\n', moment.out.size() - 2) + 1;
        EXPECT_EQ(moment.out.substr(state), lastState);
        EXPECT_EQ(moment.out.substr(0, moment.out.find('\n')), lastState.substr(0, lastState.find(' ')) + " screen");
        EXPECT_EQ(moment.out.substr(moment.out.find('\n') + 1, 3), "  y");
        EXPECT_EQ(readFile("KT57Mode.txt"), "MD\nVB000001\n");  // a question writes nothing back
    }
    // Two questions in one run answer in order, from one rehearsal.
    const ToolResult both = tool(events + "--at 2000 --at 1700");
    EXPECT_EQ(both.status, 0);
    EXPECT_LT(both.out.find("2000 screen"), both.out.find("1700 screen"));
}

// The worked example of docs/kt57-run.md, as printed there.
TEST_F(Kt57Run, WhyTracesThePressFitMistakeToTheReadBehindIt) {
    const std::string folder = std::string(KT57_PRESS_FIT_DIR);
    const ToolResult result = tool("--events '" + folder + "/press-fit.events' --until 4000 --why out3@2500 --why out0@2500 '" + folder + "'");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "out3 is 1 at 2500 ms.\n"
              "  It rose at 2010 ms, when line 9 (W0@) sent W000000c.\n"
              "  That frame sent the output register, whose bit 3 came from the reply at 2010 ms to line 5 (R0000000), "
              "which read the inputs as 000008.\n"
              "  in3 had risen at 2000 ms, when line 2 of the events file set the inputs to 000008.\n"
              "  Next change: out3 falls at 3040 ms.\n"
              "out0 is 0 at 2500 ms.\n"
              "  It fell at 2010 ms, when line 9 (W0@) sent W000000c.\n"
              "  That frame sent the output register, whose bit 0 came from the reply at 2010 ms to line 5 (R0000000), "
              "which read the inputs as 000008.\n"
              "  It does not change again before the rehearsal ends at 3240 ms.\n");
    const std::string docs = slurp(std::filesystem::path(KT57_DOCS_DIR) / "kt57-run.md");
    EXPECT_NE(docs.find(result.out), std::string::npos) << "docs/kt57-run.md shows another answer";
}

TEST_F(Kt57Run, BadMomentQuestionsAreRefused) {
    writeProgram("W0000042\n");
    for (const char* arguments : {"--why out3", "--why out24@100", "--why in3@", "--why @100", "--why out3@1x",
                                  "--at -1", "--at x", "--until 100 --at 200", "--at 100 --vcd w.vcd",
                                  "--why out1@5 --error-lines"}) {
        const ToolResult result = tool(arguments);
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_EQ(result.out, "") << arguments;
        EXPECT_EQ(result.err.rfind("kt57-run: ", 0), 0u) << arguments;
    }
}

}  // namespace
}  // namespace kt57::test
