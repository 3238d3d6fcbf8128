// kt57d's Qt shell on the offscreen platform, against the in-process virtual board: what the
// window system delivers reaches the application as the Windows messages would, and the
// application's drawing reaches the screen.
#define QTEST_QPA_MOUSE_HANDLING  // clicks take the window system's road, double-click detection included
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QExposeEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "board/virtual_board.h"
#include "console/cp932.h"
#include "console/screen_texts.h"
#include "device/device_link.h"
#include "platform/qt/console_view.h"
#include "platform/qt/desktop_shell.h"
#include "tests/platform/qt/qt_test_support.h"

namespace kt57 {
namespace {

using test::showsText;

// Three device commands; a program run in mode 'A' sends them and ends.
constexpr char threeLines[] =
    "    W0123456\n"
    "    R0000000\n"
    "    W0000000\n";

class DesktopShellTest : public testing::Test {
protected:
    void SetUp() override { test::offscreenApplication(); }

    void start(const std::string& modeFile, const char* program = threeLines) {
        folder_.write("KT57Data.txt", program);
        if (!modeFile.empty()) folder_.write("KT57Mode.txt", modeFile);
        directory_ = folder_.path().string();
        shell_ = std::make_unique<DesktopShell>(board_, wait_, directory_.c_str());
        ASSERT_EQ(shell_->startUp(), 1);
    }

    // Lets what the window system and start-up left pending run out.
    static void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    RunControl& run() { return shell_->application().sequencer.run; }
    int32_t lineCount() { return shell_->application().sequencer.program.lineCount; }
    ConsoleView& console() { return shell_->window().console(); }
    const QImage& screen() { return shell_->surface().image(); }
    const QFont& font() { return shell_->surface().font(); }

    // The centre of line index's listing cell, in client pixels.
    static QPoint lineAt(int index) { return QPoint(60, 110 + 20 * index + 8); }
    void click(int index, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(&console(), Qt::LeftButton, modifiers, lineAt(index));
    }

    QAction* endProgramAction() {
        const QList<QAction*> menus = shell_->window().menuBar()->actions();
        if (menus.size() != 1 || menus[0]->menu() == nullptr) return nullptr;
        const QList<QAction*> items = menus[0]->menu()->actions();
        return items.size() == 1 ? items[0] : nullptr;
    }

    test::ScratchFolder folder_;
    std::string directory_;
    test::SteadyClock clock_;
    VirtualBoard board_{clock_};
    test::NoWait wait_;
    std::unique_ptr<DesktopShell> shell_;
};

TEST_F(DesktopShellTest, StartUpShowsTheTitledWindowWithItsMenuAndTheFirstScreen) {
    start("MD\nVB000001\n");
    DesktopWindow& window = shell_->window();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle().toStdString(), "KT57D           VB000001");
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 1);
    EXPECT_EQ(menus[0]->text().toStdString(), cp932ToUtf8(menuTitleText, std::strlen(menuTitleText)));
    ASSERT_NE(endProgramAction(), nullptr);
    EXPECT_EQ(endProgramAction()->text().toStdString(),
              cp932ToUtf8(menuEndProgramText, std::strlen(menuEndProgramText)));

    // drawHeader gave the window the listing's outer size; the console is what the menu leaves.
    EXPECT_EQ(window.requestedOuterSize(), QSize(480, 700));
    EXPECT_EQ(window.frameGeometry().size(), QSize(480, 700));
    EXPECT_EQ(console().size(), QSize(window.width(), window.height() - window.menuBar()->height()));
    EXPECT_EQ(screen().size(), console().size());

    EXPECT_TRUE(shell_->timer().active());
    EXPECT_EQ(shell_->timer().interval(), 10);
    EXPECT_TRUE(showsText(screen(), font(), 10, 70, registerCaptionText, registerCaptionLength));
    EXPECT_TRUE(showsText(screen(), font(), 95, 110, "W0123456   ", 11));
    EXPECT_TRUE(showsText(screen(), font(), 310, 10, versionText, versionLength));
    // What was drawn is on the screen too, not only in the image.
    EXPECT_EQ(console().grab().toImage().convertToFormat(QImage::Format_RGB32), screen());
}

TEST_F(DesktopShellTest, WithoutABoardTheRedTextStaysAndNoTimerRuns) {
    board_.faults.unplugged = true;
    start("");
    EXPECT_EQ(shell_->application().sequencer.link.linkState, LinkState::NoBoard);
    EXPECT_FALSE(shell_->timer().active());
    EXPECT_TRUE(showsText(screen(), font(), 10, 10, noConnectionText, noConnectionLength, 4));
    EXPECT_EQ(shell_->window().requestedOuterSize(), QSize(480, 300));
    QCoreApplication::processEvents();
    EXPECT_TRUE(showsText(screen(), font(), 10, 10, noConnectionText, noConnectionLength, 4));
}

// kt57d given FIFOs for its files starts as without them: opening one to read would wait for a
// writer that never comes.
TEST_F(DesktopShellTest, FifosInPlaceOfTheFilesStartAsWithoutThem) {
    const std::string fifos[] = {(folder_.path() / "KT57Data.txt").string(), (folder_.path() / "KT57Mode.txt").string()};
    for (const std::string& fifo : fifos) ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> started{false};
    std::atomic<bool> blocked{false};
    // Past the deadline the write ends are opened, so a start-up blocked on a FIFO gets through
    // and the test fails instead of hanging.
    std::thread watchdog([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!started) {
            if (std::chrono::steady_clock::now() > deadline) {
                blocked = true;
                for (const std::string& fifo : fifos) {
                    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                    if (writer >= 0) close(writer);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    directory_ = folder_.path().string();
    shell_ = std::make_unique<DesktopShell>(board_, wait_, directory_.c_str());
    const int result = shell_->startUp();
    started = true;
    watchdog.join();
    EXPECT_FALSE(blocked) << "start-up waited on a FIFO";
    EXPECT_EQ(result, 1);
    EXPECT_EQ(lineCount(), 0);
    EXPECT_EQ(run().runMode, RunMode::Automatic);
    EXPECT_TRUE(showsText(screen(), font(), 10, 10, noProgramDataText, noProgramDataLength, 4));
}

TEST_F(DesktopShellTest, TypedCharactersReachTheControlsAsTheirCodes) {
    start("MD\n");
    const int32_t end = lineCount();
    ASSERT_EQ(run().nextLine, end);

    QTest::keyClick(&console(), Qt::Key_Escape);  // 27: step mode
    EXPECT_EQ(run().runMode, RunMode::Step);
    QTest::keyClick(&console(), Qt::Key_Return);  // 13: one step granted
    EXPECT_EQ(run().stepPhase, StepPhase::Granted);
    QTest::keyClick(&console(), Qt::Key_Escape);

    // A typed P is not the posted mode command: nothing happens.
    QTest::keyClick(&console(), 'P');
    EXPECT_EQ(run().runMode, RunMode::Automatic);

    QTest::keyClick(&console(), 'g');
    EXPECT_EQ(run().nextLine, 0);
    QTest::keyClick(&console(), 'S');
    EXPECT_EQ(run().nextLine, end);
}

TEST_F(DesktopShellTest, ClicksCarryClientPixelsAndTheModifiersHeldWhenHandled) {
    start("MD\n");
    const int32_t none = lineCount();
    ASSERT_EQ(run().breakLine, none);

    click(1, Qt::NoModifier);
    EXPECT_EQ(run().breakLine, none);
    EXPECT_EQ(run().continueLine, none);

    click(1, Qt::ControlModifier);
    EXPECT_EQ(run().breakLine, 1);
    click(2, Qt::ShiftModifier);  // stopped: Shift sets the continue line
    EXPECT_EQ(run().continueLine, 2);

    // A double click is a press and a double-click message: a Ctrl double click toggles twice.
    QTest::mouseDClick(&console(), Qt::LeftButton, Qt::ControlModifier, lineAt(1));
    EXPECT_EQ(run().breakLine, 1);
}

TEST_F(DesktopShellTest, TheMenuCommandWritesTheModeFileAndEndsTheProgram) {
    start("MD\nVB000001 and more\n");
    Sequencer& s = shell_->application().sequencer;
    s.link.linkState = openLink(s.link);  // as while a command's reply is awaited
    ASSERT_EQ(s.link.linkState, LinkState::Open);

    QAction* endProgram = endProgramAction();
    ASSERT_NE(endProgram, nullptr);
    endProgram->trigger();
    EXPECT_EQ(folder_.read("KT57Mode.txt"), "MD\nVB000001\n");
    EXPECT_TRUE(shell_->window().destroyed());
    EXPECT_FALSE(shell_->window().isVisible());
    EXPECT_FALSE(shell_->timer().active());
    EXPECT_TRUE(shell_->window().quitPosted());
    EXPECT_EQ(shell_->window().exitCode(), 0);

    // The window is gone: later messages reach nobody.
    QTest::keyClick(&console(), 'G');
    EXPECT_EQ(s.run.nextLine, lineCount());
}

TEST_F(DesktopShellTest, ClosingFromTheTitleBarEndsWithoutWritingTheModeFile) {
    start("MD\nVB000001 and more\n");
    Sequencer& s = shell_->application().sequencer;
    s.link.linkState = openLink(s.link);
    ASSERT_EQ(s.link.linkState, LinkState::Open);

    EXPECT_TRUE(shell_->window().close());
    EXPECT_EQ(folder_.read("KT57Mode.txt"), "MD\nVB000001 and more\n");
    EXPECT_TRUE(shell_->window().destroyed());
    EXPECT_FALSE(shell_->timer().active());
    EXPECT_TRUE(shell_->window().quitPosted());
}

TEST_F(DesktopShellTest, ExposeRunsTheRepaintHandlingButOwnUpdatesDoNot) {
    start("MD\n");
    settle();  // the repaint that start-up's resize asked for
    DesktopWindow& window = shell_->window();
    // Something only a clear removes: the repaint handling never draws at (10, 10).
    shell_->surface().drawText(10, 10, "\x81\xA1\x81\xA1", 4);
    window.deliver(ShellEvent::menu(1));  // a command nobody handles: presented, nothing more
    console().update();
    QCoreApplication::processEvents();
    ASSERT_TRUE(showsText(screen(), font(), 10, 10, "\x81\xA1\x81\xA1", 4));

    QExposeEvent exposed(QRegion(window.rect()));
    QCoreApplication::sendEvent(window.windowHandle(), &exposed);
    QCoreApplication::processEvents();
    EXPECT_TRUE(test::isWhite(screen(), QRect(10, 10, 32, 16)));
    EXPECT_TRUE(showsText(screen(), font(), 10, 70, registerCaptionText, registerCaptionLength));
    EXPECT_TRUE(showsText(screen(), font(), 95, 110, "W0123456   ", 11));
    EXPECT_TRUE(showsText(screen(), font(), 310, 10, versionText, versionLength));
}

TEST_F(DesktopShellTest, AClientAreaThatGrowsIsRepaintedAndOneThatShrinksIsNot) {
    start("MD\n");
    settle();  // the repaint that start-up's resize asked for
    // The console widget itself, so that no expose from the platform can stand in for the growth.
    const QSize listing = console().size();
    shell_->surface().drawText(10, 10, "\x81\xA1", 2);
    console().resize(listing - QSize(40, 40));
    QCoreApplication::processEvents();
    EXPECT_TRUE(showsText(screen(), font(), 10, 10, "\x81\xA1", 2));

    console().resize(listing);
    QCoreApplication::processEvents();
    EXPECT_TRUE(test::isWhite(screen(), QRect(10, 10, 16, 16)));
    EXPECT_TRUE(showsText(screen(), font(), 95, 110, "W0123456   ", 11));
}

TEST_F(DesktopShellTest, TheScreenFollowsARunningProgram) {
    start("AD\n");
    Sequencer& s = shell_->application().sequencer;
    ASSERT_TRUE(test::processEventsUntil([&] {
        return s.run.nextLine >= s.program.lineCount && s.run.replyWait == 0 && s.run.refreshTick == 0;
    })) << "the program did not run to its end";
    QCoreApplication::processEvents();

    EXPECT_TRUE(shell_->timer().active()) << "the timer keeps firing after the end";
    EXPECT_TRUE(showsText(screen(), font(), 205, 70, "W0000000\r", 9));  // the last command frame
    EXPECT_TRUE(showsText(screen(), font(), 10, 10, stoppedAutoText, stoppedAutoLength));
    EXPECT_TRUE(showsText(screen(), font(), 10, 110, "G ", 2));
    EXPECT_TRUE(showsText(screen(), font(), 10, 150, "\x81\xA1", 2));  // ■ the last line executed
    EXPECT_EQ(console().grab().toImage().convertToFormat(QImage::Format_RGB32), screen());
}

}  // namespace
}  // namespace kt57
