// kt57-check as a user runs it: the findings it prints, --dump, and its exit status.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scratch_files.h"
#include "tools/kt57-check/program_check.h"

namespace kt57 {
namespace {

struct ToolResult {
    int status;
    std::string out;
};

class CheckTool : public ::testing::Test {
protected:
    std::string write(const std::string& bytes, const std::string& name = "KT57Data.txt") {
        kt57::support::writeFile(scratch.file(name), bytes);
        return scratch.file(name);
    }

    // Runs the tool in the test's directory; stdout is kept, stderr goes to a file (or to stdout,
    // as an editor running it sees both).
    ToolResult run(const std::string& arguments, bool mergeErrors = false) {
        const std::string errorsTo = mergeErrors ? "&1" : "'" + (directory / "stderr").string() + "'";
        const std::string command = "cd '" + directory.string() + "' && '" KT57_CHECK_PATH "' " + arguments +
                                    " 2>" + errorsTo;
        ToolResult result{-1, {}};
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return result;
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    std::string errors() {
        std::ifstream in(directory / "stderr", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    const kt57::support::ScratchDirectory scratch{"kt57-check"};
    const std::filesystem::path directory{scratch.path()};
};

TEST_F(CheckTool, ReportsEachKindOfSurprise) {
    std::string source =
        "010 W0000001\r\n"
        "jmp 010\r\n"
        "JMP010\r\n"
        "JPM 010\r\n"
        "JMP 000\r\n"
        "JMP\r\n"
        "JMP 777\r\n"
        "020 JMP 020\r\n"
        "010 NOP\r\n"
        "AND 00ff00\r\n"
        "W01  / short\r\n"
        "W00@0000\r\n"
        "XY123456   comment\r\n" +
        std::string(130, 'A') + "\r\n" +
        "SLP abc\r\n"
        "SLP 1,5\r\n"
        "     JMP 010\r\n"
        "W0\x83\x40" "0001\r\n";  // a double-byte character whose second byte is 0x40 is no '@'
    for (int i = 0; i < 240; ++i) source += "NOP\r\n";
    write(source);
    const ToolResult result = run("");
    EXPECT_EQ(result.status, 1);
    // LINE counts the file's lines, so the 130-character line 14 (program lines 14 and 15) moves
    // later findings up by one; COLUMN points at what the finding is about.
    EXPECT_EQ(result.out,
              "KT57Data.txt:2:1: warning: 'jmp 010' is sent to the board as a device command: mnemonics are upper case (JMP)\n"
              "KT57Data.txt:3:4: warning: 'JMP010' is sent to the board as a device command: JMP needs a blank after it\n"
              "KT57Data.txt:4:1: warning: 'JPM 010' is sent to the board as a device command: JPM is no mnemonic (JMP?)\n"
              "KT57Data.txt:5:5: error: 'JMP 000' names label 0, which is no label: the jump ends the program\n"
              "KT57Data.txt:6:4: error: 'JMP' has no label: the jump ends the program\n"
              "KT57Data.txt:7:5: error: 'JMP 777': no line has label 777: the jump ends the program; to end it on purpose, jump to a label alone on the last line\n"
              "KT57Data.txt:8:9: error: 'JMP 020' jumps to its own line: the jump ends the program\n"
              "KT57Data.txt:9:1: warning: label 10 is also on line 1, where every jump to it goes\n"
              "KT57Data.txt:10:5: error: 'AND 00ff00': operand '00ff00' is not six upper-case hexadecimal digits: the instruction does nothing\n"
              "KT57Data.txt:11:1: warning: device command 'W01' has 3 of 8 characters: the board gets blanks for the rest\n"
              "KT57Data.txt:12:4: warning: '@' at column 3 of 'W00@0000' is sent as it is: only an '@' at column 2 sends the outputs\n"
              "KT57Data.txt:13:12: warning: text is cut at column 11: 'comment' is ignored\n"
              "KT57Data.txt:14:100: warning: the line has 130 characters; lines over 98 are read in pieces of 99, here program lines 14 to 15\n"
              "KT57Data.txt:15:5: error: SLP time 'abc' cannot be read: the line does not sleep\n"
              "KT57Data.txt:16:6: error: SLP reads the time '1,5' only as far as '1': the line sleeps only 1 s; write '1.5' with a decimal point\n"
              "KT57Data.txt:17:6: warning: ' JMP 010' is indented by more than 4 blanks or tabs: the line counts as blank and does nothing\n"
              "KT57Data.txt:256:1: error: 3 program line(s) from here on are ignored: only the first 256 are read\n");
    EXPECT_NE(errors().find("17 finding(s)"), std::string::npos);
}

TEST_F(CheckTool, FindingsTakeTheCompilersFormAndTheSummaryComesLast) {
    std::filesystem::create_directory(directory / "sub");
    write("jmp 010\nAND 00ff00\nSLP 1,5\n", "sub/prog.txt");
    const ToolResult result = run("sub/prog.txt", true);
    EXPECT_EQ(result.status, 1);
    std::istringstream lines(result.out);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);) all.push_back(line);
    ASSERT_EQ(all.size(), 4u) << result.out;
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        EXPECT_THAT(all[i], ::testing::MatchesRegex("[^:]+:[0-9]+:[0-9]+: (warning|error): .+"));
    }
    EXPECT_EQ(all[0].rfind("sub/prog.txt:1:1: warning: ", 0), 0u) << all[0];
    EXPECT_EQ(all[1].rfind("sub/prog.txt:2:5: error: ", 0), 0u) << all[1];
    EXPECT_EQ(all[2].rfind("sub/prog.txt:3:6: error: ", 0), 0u) << all[2];
    EXPECT_EQ(all[3], "sub/prog.txt: 3 finding(s)");
}

TEST_F(CheckTool, TheExampleProgramIsClean) {
    const ToolResult result = run("'" KT57_SOURCE_PATH "/examples/demo/KT57Data.txt'");
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(errors().find("no findings"), std::string::npos);
}

TEST_F(CheckTool, DumpPrintsTheStoreWithEscapedBytes) {
    write("010 W0@\nJMP 010\nAND 00ff00\nOR 123456\nX\t\\B\x83\x41\r\r\n/ x\nXY<-1", "program.txt");
    const ToolResult result = run("--dump program.txt");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "0 10 0 -1 -1 |W0@        |\n"
              "1 0 1 0 -1 |JMP 010    |\n"
              "2 0 3 -1 -1 |AND 00ff00 |\n"
              "3 0 5 -1 1193046 |OR 123456  |\n"
              "4 0 0 -1 -1 |X\\x09\\x5CB\\x83A\\x0D    |\n"
              "5 0 99 -1 -1 |           |\n"
              "6 0 0 -1 -1 |XY0FFFFF   |\n"
              "lines 7\n");
    EXPECT_EQ(errors(), "");
}

TEST_F(CheckTool, UnreadableFilesAndBadUsageExitWith2) {
    ToolResult result = run("");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(errors().find("cannot read KT57Data.txt"), std::string::npos) << errors();
    result = run("--dump missing.txt");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    result = run("'" + directory.string() + "'");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(errors().find("cannot read"), std::string::npos);
    EXPECT_EQ(run("--bogus").status, 2);
    EXPECT_EQ(run("a.txt b.txt").status, 2);
    EXPECT_EQ(run("--help").status, 0);
}

TEST(CheckProgram, LeavesOrdinaryLinesAlone) {
    const std::string source =
        "W0@\nR0000000\n010 W0<255\nRD000000\nNOP\n    JMP 010\nOR 000001\nJZ 010\nDECX\nSET 12\nSLP 0.05\nSET 12 4\n"
        "SLP 1e3\nFST 000001\nW0000001  / \x83\x52\x83\x81\x83\x93\x83\x67\n\n/ only a comment\n020\n";
    const std::vector<Finding> findings = checkProgram(source.data(), source.size());
    for (const Finding& finding : findings) ADD_FAILURE() << finding.line << ": " << finding.message;
}

TEST(CheckProgram, EdgesOfTheLimits) {
    struct Case { std::string source; int line; const char* fragment; };
    const Case cases[] = {
        {std::string(99, 'A') + "\n", 1, "99 characters"},  // 99 and its newline: two program lines
        {"SLP inf\n", 1, "longest sleep"},
        {"FMK 000000\n", 1, "ignore 000000"},
        {"SET 1234\n", 1, "loop counter to 123"},
        {"W0000001 @\n", 1, "column 9"},
        {"\t\t\t\t\tJMP 010\n", 1, "device command"},
        {"Jz 010\n", 1, "upper case (JZ)"},
        {"SETX\n", 1, "SET needs a blank"},
        {"NOP\n010 NOP\n", 2, nullptr},
        {"R0000000\nAND 000001\nJOK 999\nW0000001\n999\n", 0, nullptr},  // the way to end on purpose
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const std::vector<Finding> findings = checkProgram(c.source.data(), c.source.size());
        if (c.fragment == nullptr) {
            EXPECT_TRUE(findings.empty());
            continue;
        }
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_EQ(findings[0].line, c.line);
        EXPECT_NE(findings[0].message.find(c.fragment), std::string::npos) << findings[0].message;
    }
}

// Where each finding points: the file's line, counted by LF alone, and the byte in it.
TEST(CheckProgram, FindingsPointAtTheirByteInTheFile) {
    struct Case {
        std::string source;
        const char* fragment;  // picks the finding
        int fileLine;
        int column;
        Severity severity;
    };
    const Case cases[] = {
        {"NOP\r\nJMP 777\r\n", "label 777", 2, 5, Severity::Error},
        {"\tJMP 777\n", "label 777", 1, 6, Severity::Error},  // a tab is one column
        {"JMP\n", "no label", 1, 4, Severity::Error},          // past the text: where it stops
        {std::string(99, 'A') + "AND 00ff00\n", "operand", 1, 104, Severity::Error},  // in a line's second piece
        {std::string(99, 'A') + "AND 00ff00\n", "pieces of 99", 1, 100, Severity::Warning},
        {std::string(120, 'A') + "\n010 NOP\n010 NOP\n", "also on line 2", 3, 1, Severity::Warning},
        {"SLP 2.5x\n", "only as far as '2.5': the line sleeps only 2.5 s", 1, 8, Severity::Error},
        {"SLP 0,5\n", "only as far as '0': the line does not sleep; write '0.5' with a decimal point", 1, 6, Severity::Error},
        {"SLP 0,05\n", "the line does not sleep", 1, 6, Severity::Error},
        {"W00000012345 / x\n", "cut at column 11", 1, 12, Severity::Warning},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.substr(0, 40));
        const std::vector<Finding> findings = checkProgram(c.source.data(), c.source.size());
        const auto found = std::find_if(findings.begin(), findings.end(), [&](const Finding& finding) {
            return finding.message.find(c.fragment) != std::string::npos;
        });
        ASSERT_NE(found, findings.end()) << c.fragment;
        EXPECT_EQ(found->fileLine, c.fileLine);
        EXPECT_EQ(found->column, c.column);
        EXPECT_EQ(found->severity, c.severity);
    }
}

// The beginner's poll: the label on AND instead of on R, then OR@ on what the read left in the register.
TEST_F(CheckTool, TheReadTrapAndTheEndlessPollNameTheLinesBehindThem) {
    write("    W0000001\n"
          "010 R0000000\n"
          "020 AND 000001\n"
          "    JNG 020\n"
          "    OR@ 000020\n"
          "    W0@\n");
    const ToolResult result = run("");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              "KT57Data.txt:4:5: error: lines 3 to 4 loop with no device command and no SLP, so no reply can change "
              "their way out: once the loop turns back it never leaves, and the sequencer stops with the loop error at "
              "the 201st instruction in a row. Put a device command (such as the R that reads the inputs) or an SLP "
              "inside the loop\n"
              "KT57Data.txt:2:5: note: 'R0000000' runs once, before the loop: to repeat it on every turn, move the "
              "label 20 to this line\n"
              "KT57Data.txt:5:5: warning: 'OR@ 000020' changes the output register, but it holds the inputs read on "
              "line 2, not the outputs: after a read, write the outputs in full with a W command (such as 'W0000000') "
              "before changing it\n"
              "KT57Data.txt:2:5: note: 'R0000000' reads the inputs; its reply replaces the output register\n");
    EXPECT_NE(errors().find("2 finding(s)"), std::string::npos) << errors();
}

// Which lines are told that the output register holds the inputs: only a written-out W, AN@ 000000
// or OR@ FFFFFF gives it a known value again, on every path the jumps allow; each read is told once.
TEST(CheckProgram, OutputRegisterAfterARead) {
    struct Case { std::string source; std::vector<int> lines; };
    const Case cases[] = {
        {"R0000000\nW0@\n", {2}},
        {"R0000000\nAN@ 00FFFF\n", {2}},
        {"R0000000\nW0@\nOR@ 000001\nW0@\n", {2}},
        {"R0000000\nW0000001\nW0@\n", {}},
        {"R0000000\nAN@ 000000\nOR@ 000001\nW0@\n", {}},
        {"R0000000\nOR@ FFFFFF\nW0@\n", {}},
        {"W0000001\nR0@\n", {}},  // a read sends no outputs
        {"R0000000\nAND 000001\nJOK 010\nW0000000\n010 W0@\n", {5}},  // the jump passes the W by
        {"010 W0@\nR0000000\nJMP 010\n", {1}},                          // the next turn
        {"010 W0@\nR0000000\nW0000000\nJMP 010\n", {}},
        {"R0000000\nJMP 999\nW0@\n999\n", {}},  // never reached after the read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        std::vector<int> lines;
        for (const Finding& finding : checkProgram(c.source.data(), c.source.size())) {
            if (finding.message.find("holds the inputs") == std::string::npos) continue;
            lines.push_back(finding.line);
            EXPECT_EQ(finding.severity, Severity::Warning);
            EXPECT_FALSE(finding.notes.empty());
        }
        EXPECT_EQ(lines, c.lines);
    }
}

// A loop error is certain only when nothing in the loop can decide differently on a later turn.
TEST(CheckProgram, LoopsThatCanEndOnlyInTheLoopError) {
    struct Case { std::string source; int line; const char* fragment; };
    const Case cases[] = {
        {"010 NOP\nJMP 010\n", 2, "lines 1 to 2 loop with no device command, no SLP and no way out"},
        {"010 R0000000\n020 AND 000001\nJNG 020\nW0000000\n", 3, "lines 2 to 3 loop"},
        {"010 AND 000001\nSLP 0.05\nJNG 010\n", 3, "lines 1 to 3 loop"},  // a sleep under 0.1 s does not sleep
        {"010 NOP\nJNZ 010\nW0000000\n", 2, "lines 1 to 2 loop"},       // nothing counts down
        {"010 AND 000001\nJOK 020\nAND 000001\nJMP 010\n020 W0000000\n", 4, "lines 1 to 4 loop"},
        {"010 NOP\n020 NOP\nJMP 030\n030 JMP 010\nW0000000\n", 4, "lines 1 to 4 loop"},
        {"SET 5\n010 DEC\nJNZ 010\nW0000000\n", 0, nullptr},       // counted: it ends
        {"010 R0000000\nAND 000001\nJNG 010\n", 0, nullptr},         // a new reply every turn
        {"010 AND 000001\nSLP 0.1\nJNG 010\n", 0, nullptr},          // the sleep ends the burst
        {"010 JOK 020\nAND 000001\nJMP 010\n020 W0000000\n", 0, nullptr},  // the second turn may leave
        {"010 FCH 000001\nJOK 020\nFST 000001\nJMP 010\n020 W0000000\n", 0, nullptr},
        {"010 AND 000001\nJOK 020\nOR 000002\nJNG 010\n020 W0000000\n", 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        std::vector<Finding> loops;
        for (const Finding& finding : checkProgram(c.source.data(), c.source.size())) {
            if (finding.message.find("loop error") != std::string::npos) loops.push_back(finding);
        }
        if (c.fragment == nullptr) {
            EXPECT_TRUE(loops.empty()) << loops.front().message;
            continue;
        }
        ASSERT_EQ(loops.size(), 1u);
        EXPECT_EQ(loops[0].line, c.line);
        EXPECT_EQ(loops[0].severity, Severity::Error);
        EXPECT_NE(loops[0].message.find(c.fragment), std::string::npos) << loops[0].message;
    }
}

TEST(CheckProgram, MessagesAreUtf8) {
    const std::string source = "W0\x83\x52\x83\x81  / x\n";  // "W0コメ": a short device command
    const std::vector<Finding> findings = checkProgram(source.data(), source.size());
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_NE(findings[0].message.find("'W0\xE3\x82\xB3\xE3\x83\xA1'"), std::string::npos) << findings[0].message;
}

}  // namespace
}  // namespace kt57
