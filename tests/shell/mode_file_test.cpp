// KT57Mode.txt: what start-up takes from it, and what the end-program command writes back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/mode_file.h"
#include "tests/support/headless_fixture.h"

namespace kt57::test {
namespace {

struct ReadCase {
    const char* name;
    std::string content;
    char runMode;
    int detailView;
    const char* serial;
    const char* writtenBack;  // with linkState 1 and the serial number as read
};

class ModeFileRead : public HeadlessTest, public ::testing::WithParamInterface<ReadCase> {
protected:
    StandardFiles files;
};

TEST_P(ModeFileRead, SetsTheRecordsAndWritesTheSameModeBack) {
    const ReadCase& c = GetParam();
    writeMode(c.content);
    RunControl run;
    ConsoleState console;
    ShellState shell;
    DeviceLink link;
    readModeFile(directory.string().c_str(), files, run, console, shell, link);
    EXPECT_EQ(run.runMode, RunMode{c.runMode});
    EXPECT_EQ(run.savedMode, RunMode{c.runMode});
    EXPECT_EQ(console.detailView, c.detailView);
    EXPECT_EQ(shell.savedDetail, c.detailView);
    EXPECT_STREQ(link.serialNumber, c.serial);

    link.linkState = LinkState::Open;
    writeModeFile(directory.string().c_str(), files, run, shell, link, noObserver());
    EXPECT_EQ(readFile("KT57Mode.txt"), c.writtenBack);
}

const std::string longFirstLine = "M" + std::string(98, 'x');  // 99 characters: one whole piece

INSTANTIATE_TEST_SUITE_P(
    ModeFile, ModeFileRead,
    ::testing::Values(ReadCase{"AutoWithDetail", "AD\nAB123456\n", 'A', 1, "AB123456", "AD\nAB123456\n"},
                      ReadCase{"Manual", "MD\nAB123456\n", 'M', 1, "AB123456", "MD\nAB123456\n"},
                      ReadCase{"StepLosesTheDetailFlag", "SD\nAB123456\n", 'S', 1, "AB123456", "S\nAB123456\n"},
                      ReadCase{"OtherLetterKeepsA", "XD\nAB123456\n", 'A', 1, "AB123456", "AD\nAB123456\n"},
                      ReadCase{"LowerCaseIgnored", "a\n", 'A', 0, "", "A\n\n"},
                      ReadCase{"SevenCharacterSerial", "A\nAB12345\n", 'A', 0, "", "A\n\n"},
                      ReadCase{"LowerCaseSerial", "A\nab123456\n", 'A', 0, "", "A\n\n"},
                      ReadCase{"NineCharacterSerial", "A\nAB1234567\n", 'A', 0, "AB123456", "A\nAB123456\n"},
                      ReadCase{"HighByteInSerial", "A\nAB12345\x81\n", 'A', 0, "", "A\n\n"},
                      ReadCase{"SerialWithoutNewline", "M\nAB123456", 'M', 0, "AB123456", "M\nAB123456\n"},
                      ReadCase{"CrLfLines", "MD\r\nAB123456\r\n", 'M', 1, "AB123456", "MD\nAB123456\n"},
                      ReadCase{"CtrlZEndsTheFile", "M\x1A\nAB123456\n", 'M', 0, "", "M\n\n"},
                      ReadCase{"LongLineContinuesAsLineTwo", longFirstLine + "AB123456\n", 'M', 0, "AB123456",
                               "M\nAB123456\n"},
                      ReadCase{"EmptyFile", "", 'A', 0, "", "A\n\n"}),
    [](const auto& info) { return std::string(info.param.name); });

class ModeFileWrite : public HeadlessTest {
protected:
    StandardFiles files;
    VirtualClock clock;
    RunControl run;
    ShellState shell;
    DeviceLink link;
};

TEST_F(ModeFileWrite, NothingIsWrittenWhileTheBoardIsNotOpen) {
    writeMode("MD\nAB123456\n");
    for (LinkState state : {LinkState::Closed, LinkState::NoBoard}) {
        link.linkState = state;
        writeModeFile(directory.string().c_str(), files, run, shell, link, noObserver());
        EXPECT_EQ(readFile("KT57Mode.txt"), "MD\nAB123456\n");
    }
}

TEST_F(ModeFileWrite, ASerialNumberLearnedFromTheBoardIsWrittenWhole) {
    RecordingObserver observer(clock);
    link.linkState = LinkState::Open;
    std::snprintf(link.serialNumber, sizeof link.serialNumber, "FT9Z12ABCDE");
    writeModeFile(directory.string().c_str(), files, run, shell, link, observer);
    EXPECT_EQ(readFile("KT57Mode.txt"), "A\nFT9Z12ABCDE\n");
    EXPECT_EQ(observer.modeFiles, std::vector<std::string>{"A\nFT9Z12ABCDE\n"});
}

TEST_F(ModeFileWrite, AFailedWriteLeavesTheOldFileWholeAndReportsNothing) {
    writeMode("MD\nAB123456\n");
    std::filesystem::create_directory(directory / "KT57Mode.txt.new");  // the new file cannot be created
    RecordingObserver observer(clock);
    link.linkState = LinkState::Open;
    writeModeFile(directory.string().c_str(), files, run, shell, link, observer);
    EXPECT_EQ(readFile("KT57Mode.txt"), "MD\nAB123456\n");
    EXPECT_TRUE(observer.modeFiles.empty());
}

TEST_F(ModeFileWrite, ReplacesAnOldLongerFileWithoutLeftovers) {
    writeMode("MD\nAB123456 and a long comment that must not survive\n");
    link.linkState = LinkState::Open;
    run.savedMode = RunMode::Manual;
    writeModeFile(directory.string().c_str(), files, run, shell, link, noObserver());
    EXPECT_EQ(readFile("KT57Mode.txt"), "M\n\n");
    EXPECT_FALSE(std::filesystem::exists(directory / "KT57Mode.txt.new"));
}

// The core's half of a replacement that survives power loss: the new file, whole, goes to the disk
// before it replaces the old one; a step that fails keeps the old file and leaves no new one.
class RecordingFiles : public StandardFiles {
public:
    bool syncToDisk(std::FILE* file) override {
        calls.push_back("sync after " + std::to_string(std::ftell(file)) + " bytes");
        return syncWorks && StandardFiles::syncToDisk(file);
    }
    bool replace(const char* fresh, const char* target) override {
        calls.push_back("replace " + std::filesystem::path(fresh).filename().string() + " " +
                        std::filesystem::path(target).filename().string());
        return replaceWorks && StandardFiles::replace(fresh, target);
    }
    std::vector<std::string> calls;
    bool syncWorks = true;
    bool replaceWorks = true;
};

TEST_F(ModeFileWrite, TheNewFileReachesTheDiskBeforeItReplacesTheOld) {
    struct Case {
        bool syncWorks;
        bool replaceWorks;
        std::vector<std::string> calls;
        const char* content;  // KT57Mode.txt afterwards
    };
    const std::string sync = "sync after 11 bytes";  // "M\nAB123456\n", all of it
    const std::string replace = "replace KT57Mode.txt.new KT57Mode.txt";
    const Case cases[] = {
        {true, true, {sync, replace}, "M\nAB123456\n"},
        {false, true, {sync}, "A\nOLD00001\n"},
        {true, false, {sync, replace}, "A\nOLD00001\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "sync works " << c.syncWorks << ", replace works " << c.replaceWorks);
        writeMode("A\nOLD00001\n");
        RecordingFiles recording;
        recording.syncWorks = c.syncWorks;
        recording.replaceWorks = c.replaceWorks;
        RecordingObserver observer(clock);
        link.linkState = LinkState::Open;
        run.savedMode = RunMode::Manual;
        std::snprintf(link.serialNumber, sizeof link.serialNumber, "AB123456");
        writeModeFile(directory.string().c_str(), recording, run, shell, link, observer);
        EXPECT_EQ(recording.calls, c.calls);
        EXPECT_EQ(readFile("KT57Mode.txt"), c.content);
        EXPECT_FALSE(std::filesystem::exists(directory / "KT57Mode.txt.new"));
        EXPECT_EQ(observer.modeFiles.size(), c.syncWorks && c.replaceWorks ? 1u : 0u);
    }
}

// Through the window: only the menu command writes, and only while the board is open.
class EndProgram : public HeadlessTest {};

TEST_F(EndProgram, MenuCommandWhileTheBoardIsOpenWritesModeAndLearnedSerial) {
    writeProgram("W0000001\nSLP 10\n");
    startRun();
    run->post(HeadlessEvent::of(1025, HeadlessEventKind::Menu, 0x12340000u | 40001u));  // low 16 bits count
    run->runUntil(1100);
    EXPECT_TRUE(run->finished());
    ASSERT_EQ(driver->count('W'), 1);  // the board is open, awaiting the reply
    EXPECT_EQ(readFile("KT57Mode.txt"), "A\nVB000001\n");
    EXPECT_EQ(observer->modeFiles.size(), 1u);
    EXPECT_EQ(driver->calls.back().what, 'C');  // destruction closes the open board
    EXPECT_EQ(run->window().exitCode(), 0);
}

TEST_F(EndProgram, TitleBarCloseAndOtherCommandsDoNotWrite) {
    writeProgram("W0000001\nSLP 10\n");
    startRun();
    run->post(HeadlessEvent::of(1020, HeadlessEventKind::Menu, 40002));
    run->runUntil(1030);
    EXPECT_FALSE(run->finished());
    run->post(HeadlessEvent::of(1030, HeadlessEventKind::Close));
    run->runUntil(1100);
    EXPECT_TRUE(run->finished());
    EXPECT_FALSE(std::filesystem::exists(directory / "KT57Mode.txt"));
}

TEST_F(EndProgram, MenuCommandWithTheBoardReleasedLeavesTheFile) {
    writeMode("MD\nVB000001\n");
    writeProgram("W0000001\n");
    startRun();  // mode M: stopped, and start-up released the board
    run->post(HeadlessEvent::of(1100, HeadlessEventKind::Menu, 40001));
    run->runUntil(1200);
    EXPECT_TRUE(run->finished());
    EXPECT_TRUE(observer->modeFiles.empty());
    EXPECT_EQ(readFile("KT57Mode.txt"), "MD\nVB000001\n");
}

}  // namespace
}  // namespace kt57::test
