// kt57d as a user runs it: under an X server (Xvfb), as its own process, against kt57-board as
// another process, found through the board registry and driven through kt57-ctl.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/platform/qt/qt_test_support.h"

namespace kt57 {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string firstLine(const fs::path& path) {
    std::string line;
    std::ifstream in(path);
    std::getline(in, line);
    return line;
}

struct Frame {
    double seconds;
    std::string kind;  // "command" or "reply"
    std::string bytes;
};

// The board's log lines: "   1.692  command    W000000F\x0D"; other lines are skipped.
std::vector<Frame> framesOf(const std::string& log) {
    std::vector<Frame> frames;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        Frame frame;
        std::string rest;
        if (!(words >> frame.seconds >> frame.kind >> frame.bytes) || (words >> rest)) continue;
        if (frame.kind == "command" || frame.kind == "reply") frames.push_back(frame);
    }
    return frames;
}

bool onPath(const char* program) {
    const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

TEST(DesktopEndToEnd, TheExampleRunsAgainstTheBoardProcessAndTheMenuWritesTheModeFile) {
    if (!onPath("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string source = KT57_SOURCE_TREE;
    const std::string binaries = KT57_PROGRAMS_DIR;
    for (const char* tool : {"platform/qt/kt57d", "tools/kt57-board/kt57-board", "tools/kt57-ctl/kt57-ctl"}) {
        if (!fs::exists(fs::path(binaries) / tool)) GTEST_SKIP() << tool << " is not built";
    }

    test::ScratchFolder scratch;
    const fs::path runtime = scratch.path() / "runtime";
    const fs::path work1 = scratch.path() / "example";
    const fs::path work2 = scratch.path() / "loop";
    const fs::path out = scratch.path() / "out";
    for (const fs::path& folder : {runtime, work1, work2, out}) fs::create_directory(folder);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    const std::string serial = "VBE2E001";
    fs::copy_file(fs::path(source) / "examples/demo/KT57Data.txt", work1 / "KT57Data.txt");
    std::ofstream(work1 / "KT57Mode.txt") << "AD\n" << serial << " ignored\n";
    std::ofstream(work2 / "KT57Data.txt") << "010 R0000001\n    JMP 010\n";
    std::ofstream(work2 / "KT57Mode.txt") << "AD\n" << serial << " ignored\n";

    const std::string command = "BIN='" + binaries + "' XDG_RUNTIME_DIR='" + runtime.string() +
                                "' WORK1='" + work1.string() + "' WORK2='" + work2.string() + "' OUT='" +
                                out.string() + "' SERIAL=" + serial +
                                " xvfb-run -a -s '-screen 0 1280x1024x24' bash '" + source +
                                "/tests/platform/qt/end_to_end_session.sh' > '" + (out / "session.log").string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(out / "session.log");
    EXPECT_EQ(readFile(out / "session.err"), "");

    // Phase 1: the example program, ended from the title bar.
    EXPECT_EQ(firstLine(out / "ctl-close.status"), "0");
    EXPECT_EQ(firstLine(out / "kt57d-1.status"), "0") << readFile(out / "kt57d-1.log");
    EXPECT_EQ(readFile(out / "kt57d-1.log").find("no KT57Data.txt"), std::string::npos);
    const std::vector<Frame> frames = framesOf(readFile(out / "board.log"));
    std::vector<Frame> commands;
    for (const Frame& frame : frames) {
        if (frame.kind == "command") commands.push_back(frame);
    }
    const std::vector<std::string> example = {
        "W000000F\\x0D", "W00000ff\\x0D", "W000000f\\x0D", "W00000ff\\x0D",
        "W000000f\\x0D", "W00000ff\\x0D", "W000000f\\x0D", "R0000000\\x0D",
    };
    ASSERT_GE(commands.size(), example.size()) << readFile(out / "board.log");
    for (size_t i = 0; i < example.size(); ++i) {
        EXPECT_EQ(commands[i].bytes, example[i]) << "command " << i;
    }
    // Each command was answered, and SLP 0.3 held the blinking apart by its 100 ms ticks.
    ASSERT_GE(frames.size(), 2 * example.size());
    for (size_t i = 0; i < 2 * example.size(); i += 2) {
        EXPECT_EQ(frames[i].kind, "command");
        EXPECT_EQ(frames[i + 1].kind, "reply");
    }
    for (size_t i = 2; i < 7; ++i) {
        const double gap = commands[i].seconds - commands[i - 1].seconds;
        EXPECT_GE(gap, 0.25) << "between commands " << i - 1 << " and " << i;
        EXPECT_LT(gap, 1.5) << "between commands " << i - 1 << " and " << i;
    }
    EXPECT_EQ(readFile(work1 / "KT57Mode.txt"), "AD\n" + serial + " ignored\n") << "closing must not write";

    // Phase 2: a program that keeps the board open, ended through menu 40001.
    EXPECT_EQ(firstLine(out / "ctl-menu.status"), "0");
    EXPECT_EQ(firstLine(out / "kt57d-2.status"), "0") << readFile(out / "kt57d-2.log");
    EXPECT_EQ(readFile(work2 / "KT57Mode.txt"), "AD\n" + serial + "\n");

    // With kt57d gone, kt57-ctl says so.
    EXPECT_EQ(firstLine(out / "ctl-after.status"), "1");
    EXPECT_NE(readFile(out / "ctl-after.err").find("not running"), std::string::npos);
}

// Started in a folder without a program, kt57d names the folder in one line on standard error, and
// the window runs as it always did: it answers kt57-ctl, shows no program, and closes.
TEST(DesktopEndToEnd, WithoutAProgramKt57dNamesItsFolderOnStandardError) {
    const std::string binaries = KT57_PROGRAMS_DIR;
    for (const char* tool : {"platform/qt/kt57d", "tools/kt57-ctl/kt57-ctl"}) {
        if (!fs::exists(fs::path(binaries) / tool)) GTEST_SKIP() << tool << " is not built";
    }
    test::ScratchFolder scratch;
    const fs::path runtime = scratch.path() / "runtime";
    const fs::path empty = scratch.path() / "no program";
    for (const fs::path& folder : {runtime, empty}) fs::create_directory(folder);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    const fs::path err = scratch.path() / "kt57d.err";
    const fs::path state = scratch.path() / "state";
    const fs::path status = scratch.path() / "status";
    // The request waits until the socket is there (20 s at most) and then for the window's loop;
    // `timeout` keeps a kt57d that does not close from outliving the test.
    const std::string command =
        "export XDG_RUNTIME_DIR='" + runtime.string() + "' QT_QPA_PLATFORM=offscreen; "
        "(cd '" + empty.string() + "' && exec timeout 60 '" + binaries + "/platform/qt/kt57d') 2>'" + err.string() + "' & "
        "for _ in $(seq 200); do [ -S \"$XDG_RUNTIME_DIR/kt57d/control.socket\" ] && break; sleep 0.1; done; "
        "'" + binaries + "/tools/kt57-ctl/kt57-ctl' state >'" + state.string() + "'; "
        "'" + binaries + "/tools/kt57-ctl/kt57-ctl' close; wait $!; echo $? >'" + status.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(firstLine(status), "0") << readFile(err);
    EXPECT_EQ(firstLine(err), "kt57d: no KT57Data.txt in " + fs::canonical(empty).string() +
                                  ": the window starts without a program");
    const std::string said = readFile(err);
    EXPECT_EQ(said.find("no KT57Data.txt", said.find("no KT57Data.txt") + 1), std::string::npos) << "said once";
    EXPECT_EQ(firstLine(state).rfind("state next=0 current=0 continue=0 break=0 count=0 ", 0), 0u) << readFile(state);
}

}  // namespace
}  // namespace kt57
