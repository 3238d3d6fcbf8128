// Start-up and the window's own messages: the open attempts and waits, the two start-up
// failures, the starting run state of each mode, the title and the repaint.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "console/screen_texts.h"
#include "tests/support/headless_fixture.h"

namespace kt57::test {
namespace {

std::string visible(const char* bytes, int length) {
    std::string text = cp932ToUtf8(bytes, static_cast<size_t>(length));
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

class StartUp : public HeadlessTest {};

TEST_F(StartUp, WithoutABoardTries100TimesAndShowsNoConnection) {
    writeProgram("W0000001\n");
    makeRun();
    run->board().unplug();
    EXPECT_EQ(run->start(), 1);
    EXPECT_EQ(observer->openFailures, 100);
    EXPECT_EQ(run->now(), 100 * 10);
    EXPECT_EQ(run->sequencer().link.linkState, LinkState::NoBoard);
    EXPECT_EQ(lineCount(), 0);  // the program is never loaded
    EXPECT_FALSE(run->timer().armed());
    EXPECT_EQ(run->canvas().bandText(10), " " + visible(noConnectionText, noConnectionLength));  // x 10: column 1
    EXPECT_TRUE(run->canvas().cellIsRed(10, 2));
    EXPECT_TRUE(run->idle());

    run->post(HeadlessEvent::of(2000, HeadlessEventKind::Paint));
    run->runUntil(2000);
    EXPECT_EQ(run->canvas().render(), "");  // cleared, and nothing is drawn again
}

TEST_F(StartUp, WithoutAProgramOpensAndReleasesTheBoardAndStartsNoTimer) {
    makeRun();
    EXPECT_EQ(run->start(), 1);
    EXPECT_EQ(observer->opened, 1);
    EXPECT_EQ(driver->count('C'), 1);
    EXPECT_EQ(run->now(), 20);  // only the release waits
    EXPECT_EQ(run->sequencer().link.linkState, LinkState::Closed);
    EXPECT_FALSE(run->timer().armed());
    EXPECT_EQ(run->canvas().bandText(10), " " + visible(noProgramDataText, noProgramDataLength));
    EXPECT_TRUE(run->canvas().cellIsRed(10, 2));
}

// FIFOs in place of both files: opening one to read would wait for a writer. Start-up must go on
// as without the files, at once.
TEST_F(StartUp, FifosInPlaceOfTheFilesCountAsNoFiles) {
    const std::string program = (directory / "KT57Data.txt").string();
    const std::string mode = (directory / "KT57Mode.txt").string();
    ASSERT_EQ(mkfifo(program.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(mode.c_str(), 0600), 0);
    makeRun();
    std::future<int> started = std::async(std::launch::async, [this] { return run->start(); });
    if (started.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        ADD_FAILURE() << "start-up waits on a FIFO";
        // Opening the write end lets a blocked reader through, so the test can end.
        while (started.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
            for (const std::string& fifo : {program, mode}) {
                const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                if (writer >= 0) close(writer);
            }
        }
    }
    EXPECT_EQ(started.get(), 1);
    EXPECT_EQ(lineCount(), 0);
    EXPECT_EQ(control().runMode, RunMode::Automatic);
    EXPECT_EQ(run->window().title(), std::string("KT57D") + std::string(19, ' '));  // no serial number read
    EXPECT_EQ(run->canvas().bandText(10), " " + visible(noProgramDataText, noProgramDataLength));
}

TEST_F(StartUp, FailedWindowCreationEndsBeforeTouchingTheBoard) {
    writeProgram("W0000001\n");
    makeRun();
    run->window().failCreation = true;
    EXPECT_EQ(run->start(), 0);
    EXPECT_EQ(observer->opened + observer->openFailures, 0);
    EXPECT_EQ(run->now(), 0);
}

struct ModeCase {
    const char* name;
    const char* modeFile;  // nullptr: none
    bool startsRunning;
};

class StartingMode : public HeadlessTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(StartingMode, AutomaticRunsLineZeroOnTheFirstTickOthersWaitStopped) {
    if (GetParam().modeFile != nullptr) writeMode(GetParam().modeFile);
    writeProgram("W0000001\nNOP\nNOP\n");
    startRun();
    EXPECT_EQ(run->now(), 1020);
    EXPECT_TRUE(run->timer().armed());
    EXPECT_EQ(run->timer().interval(), 10);
    EXPECT_EQ(control().breakLine, 3);
    EXPECT_EQ(control().nextLine, GetParam().startsRunning ? 0 : 3);
    EXPECT_EQ(control().continueLine, GetParam().startsRunning ? 0 : 3);
    run->runUntil(1020);  // the first tick fell due at 1010, during the release's wait
    EXPECT_EQ(run->ticksDelivered(), 1);
    EXPECT_EQ(driver->count('W'), GetParam().startsRunning ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(StartUp, StartingMode,
                         ::testing::Values(ModeCase{"NoModeFile", nullptr, true}, ModeCase{"A", "A\n", true},
                                           ModeCase{"M", "M\n", false}, ModeCase{"S", "S\n", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartUp, TitleShowsOnlyASerialNumberFromTheModeFile) {
    writeProgram("W0000001\n");
    startRun();
    EXPECT_EQ(run->window().title(), std::string("KT57D") + std::string(19, ' '));
    EXPECT_STREQ(run->sequencer().link.serialNumber, "VB000001");  // learned, yet not in the title

    writeMode("A\nVB000001\n");
    startRun();
    EXPECT_EQ(run->window().title(), std::string("KT57D") + std::string(11, ' ') + "VB000001");
}

TEST_F(StartUp, RemembersADifferentBoardFromTheModeFileAndFindsNoneOther) {
    writeMode("A\nZZ000009\n");
    writeProgram("W0000001\n");
    makeRun();
    run->start();
    EXPECT_EQ(observer->openFailures, 100);
    EXPECT_EQ(run->sequencer().link.linkState, LinkState::NoBoard);
}

TEST_F(StartUp, RepaintRedrawsTheConsoleButNotTheStatusLine) {
    writeMode("AD\n");
    writeProgram("SLP 100\nW0000001\n");
    startRun();
    run->runUntil(1500);
    const std::string before = run->canvas().render();
    run->post(HeadlessEvent::of(1500, HeadlessEventKind::Paint));
    run->step(1500);
    const std::string after = run->canvas().render();
    EXPECT_EQ(run->canvas().bandText(10).find_first_not_of(' '), 39u + 3u);  // only the version text
    EXPECT_NE(after.find("Ver3.2"), std::string::npos);
    EXPECT_NE(after.find("SLP 100"), std::string::npos);       // the listing
    EXPECT_NE(before.find("スリープ中"), std::string::npos);
    EXPECT_EQ(after.find("スリープ中"), std::string::npos);
}

}  // namespace
}  // namespace kt57::test
