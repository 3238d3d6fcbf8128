// Posted commands on Linux: kt57-ctl reaches the running shell through its per-user socket and
// delivers exactly the messages another Windows program would post; anything else is refused.
#include <gtest/gtest.h>

#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "board/virtual_board.h"
#include "common/control_socket.h"
#include "platform/qt/command_server.h"
#include "platform/qt/desktop_shell.h"
#include "tests/platform/qt/qt_test_support.h"

namespace kt57 {
namespace {

struct CtlResult {
    int exitCode = -1;
    std::string output;
    std::string errors;
};

class PostedCommandTest : public testing::Test {
protected:
    void SetUp() override {
        test::offscreenApplication();
        setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        socketPath_ = controlSocketPath();
        ASSERT_FALSE(socketPath_.empty());
    }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

    void startShell() {
        // A program that never ends once started, so a started run stays visible however slow the machine.
        work_.write("KT57Data.txt", "010 R0000000\n    JMP 010\n");
        work_.write("KT57Mode.txt", "MD\n");
        directory_ = work_.path().string();
        shell_ = std::make_unique<DesktopShell>(board_, wait_, directory_.c_str());
        server_ = std::make_unique<CommandServer>([this](const ControlRequest& request) { shell_->deliver(request); },
                                                  [this] { return shell_->stateLine(); });
        std::string reason;
        ASSERT_TRUE(server_->listen(socketPath_, reason)) << reason;
        ASSERT_EQ(shell_->startUp(), 1);
    }

    // Runs the real kt57-ctl while this thread's event loop serves its request.
    CtlResult ctl(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_.path().string()));
        process.setProcessEnvironment(environment);
        process.start(QString::fromUtf8(KT57_CTL_PROGRAM), arguments);
        CtlResult result;
        if (!process.waitForStarted(5000)) return result;
        if (!test::processEventsUntil([&] { return process.state() == QProcess::NotRunning; }, 15000)) return result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.output = process.readAllStandardOutput().toStdString();
        result.errors = process.readAllStandardError().toStdString();
        QCoreApplication::processEvents();  // the posted message takes its turn in the loop
        return result;
    }

    // Sends raw bytes on a connection of its own and returns the first reply line.
    std::string exchange(QLocalSocket& connection, const QByteArray& bytes) {
        connection.write(bytes);
        connection.flush();
        test::processEventsUntil([&] { return connection.canReadLine() || connection.state() != QLocalSocket::ConnectedState; });
        return connection.readLine().trimmed().toStdString();
    }

    RunControl& run() { return shell_->application().sequencer.run; }

    test::ScratchFolder runtime_;
    test::ScratchFolder work_;
    std::string directory_;
    std::string socketPath_;
    test::SteadyClock clock_;
    VirtualBoard board_{clock_};
    test::NoWait wait_;
    std::unique_ptr<DesktopShell> shell_;
    std::unique_ptr<CommandServer> server_;
};

TEST_F(PostedCommandTest, PostedAAndPSwitchTheRunModeAndTypedKeysAct) {
    startShell();
    ASSERT_EQ(run().runMode, RunMode::Manual);
    struct Step {
        QStringList arguments;
        char runMode;
        char resumeMode;
    };
    const Step steps[] = {
        {{"post", "P"}, 'P', 'P'},
        {{"post", "A"}, 'A', 'A'},
        {{"key", "P"}, 'A', 'A'},  // typed, not posted: nothing
        {{"key", "esc"}, 'S', 'A'},
        {{"post", "P"}, 'S', 'A'},  // step mode keeps its mode
        {{"post", "A"}, 'S', 'A'},
        {{"key", "esc"}, 'A', 'A'},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.arguments.join(' ').toStdString());
        const CtlResult result = ctl(step.arguments);
        ASSERT_EQ(result.exitCode, 0) << result.errors;
        EXPECT_EQ(run().runMode, RunMode{step.runMode});
        EXPECT_EQ(run().resumeMode, RunMode{step.resumeMode});
    }
    ASSERT_EQ(ctl({"key", "g"}).exitCode, 0);
    EXPECT_LT(run().nextLine, shell_->application().sequencer.program.lineCount);
}

TEST_F(PostedCommandTest, RequestsItDoesNotUnderstandAreRefusedAndNeverActedOn) {
    startShell();
    QLocalSocket connection;
    connection.connectToServer(QString::fromStdString(socketPath_));
    ASSERT_TRUE(connection.waitForConnected(2000));
    EXPECT_EQ(exchange(connection, "post a\n"), "error post takes A or P");
    EXPECT_EQ(exchange(connection, "key\n"), "error key takes one printable character, enter or esc");
    EXPECT_EQ(exchange(connection, "post A\r\n"), "ok");  // a CR LF line end is a line end
    QCoreApplication::processEvents();
    EXPECT_EQ(run().runMode, RunMode::Manual);  // 'A' leaves every mode but 'P' alone
    EXPECT_EQ(run().resumeMode, RunMode::Automatic);

    // An over-long line ends the connection: what follows it cannot be told from it.
    EXPECT_EQ(exchange(connection, QByteArray(200, 'k') + "post P\n"), "error request too long");
    test::processEventsUntil([&] { return connection.state() == QLocalSocket::UnconnectedState; });
    EXPECT_EQ(connection.state(), QLocalSocket::UnconnectedState);
    QCoreApplication::processEvents();
    EXPECT_EQ(run().runMode, RunMode::Manual);

    const CtlResult refused = ctl({"post", "X"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.errors.find("post takes A or P"), std::string::npos) << refused.errors;
}

TEST_F(PostedCommandTest, StateTellsTheRunStateAndEachKindOfErrorStopAndDeliversNothing) {
    startShell();
    const int32_t lineCount = shell_->application().sequencer.program.lineCount;
    const std::string stopped = "state next=" + std::to_string(lineCount) + " ";
    const CtlResult idle = ctl({"state"});
    ASSERT_EQ(idle.exitCode, 0) << idle.errors;
    EXPECT_EQ(idle.output, shell_->stateLine() + "\n");
    EXPECT_EQ(idle.output.rfind(stopped, 0), 0u) << idle.output;
    EXPECT_NE(idle.output.find(" mode=M "), std::string::npos) << idle.output;
    EXPECT_NE(idle.output.find(" link=0 data-stops=0 loop-stops=0 device-stops=0 last-stop=none\n"), std::string::npos)
        << idle.output;

    // A silent board while a reply is awaited, then a board gone when the program must reopen it.
    struct Fault {
        const char* name;
        std::function<void()> begin;
        const char* counts;
    };
    const Fault faults[] = {
        // Each stops at the R on line 1: the reply never comes, then the board is not there to send it to.
        {"mute", [this] { board_.model.muted = true; }, "data-stops=1 loop-stops=0 device-stops=0 last-stop=data last-stop-line=1"},
        {"unplug", [this] { board_.unplug(); }, "data-stops=1 loop-stops=0 device-stops=1 last-stop=device last-stop-line=1"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        fault.begin();
        ASSERT_EQ(ctl({"key", "g"}).exitCode, 0);
        ASSERT_TRUE(test::processEventsUntil(
            [&] { return shell_->stateLine().find(fault.counts) != std::string::npos; }, 10000))
            << shell_->stateLine();
        const CtlResult after = ctl({"state"});
        ASSERT_EQ(after.exitCode, 0) << after.errors;
        EXPECT_EQ(after.output.rfind(stopped, 0), 0u) << after.output;
        EXPECT_NE(after.output.find(fault.counts), std::string::npos) << after.output;
        EXPECT_EQ(after.output.substr(after.output.find(" data-stops=") + 1), std::string(fault.counts) + "\n");  // the line ends there
    }
}

TEST_F(PostedCommandTest, WithoutARunningKt57dCtlSaysSoAndFails) {
    const CtlResult result = ctl({"post", "A"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.errors.find("kt57d is not running"), std::string::npos) << result.errors;
}

TEST_F(PostedCommandTest, OneServerPerUserAndAStaleSocketIsReplaced) {
    std::string reason;
    {
        CommandServer first([](const ControlRequest&) {});
        ASSERT_TRUE(first.listen(socketPath_, reason)) << reason;
        struct stat info {};
        ASSERT_EQ(stat(socketPath_.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0077, 0u) << "the socket must be closed to others";

        {
            CommandServer second([](const ControlRequest&) {});
            EXPECT_FALSE(second.listen(socketPath_, reason));
            EXPECT_NE(reason.find("another kt57d"), std::string::npos) << reason;
        }
        QLocalSocket stillServed;
        stillServed.connectToServer(QString::fromStdString(socketPath_));
        EXPECT_TRUE(stillServed.waitForConnected(2000)) << "the refused server must leave the first one's socket";
    }
    EXPECT_FALSE(std::filesystem::exists(socketPath_)) << "an ended server removes its socket";

    // What a killed kt57d leaves: a socket file that nobody answers on.
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath_.c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(stale);
    CommandServer replacing([](const ControlRequest&) {});
    EXPECT_TRUE(replacing.listen(socketPath_, reason)) << reason;
}

TEST_F(PostedCommandTest, AFolderOthersCanEnterIsRefused) {
    const std::string folder = std::filesystem::path(socketPath_).parent_path().string();
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    chmod(folder.c_str(), 0755);
    std::string reason;
    CommandServer server([](const ControlRequest&) {});
    EXPECT_FALSE(server.listen(socketPath_, reason));
    EXPECT_NE(reason.find("0700"), std::string::npos) << reason;
}

}  // namespace
}  // namespace kt57
