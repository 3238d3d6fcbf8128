// Test helpers: kt57-board --headless as a child process with its own registry, and a TtyDriver
// pointed at that registry and at a by-id directory the test controls.
#pragma once
#include <sys/types.h>

#include <string>

#include "platform/linux/tty_driver.h"
#include "tests/support/scratch_files.h"

namespace kt57::test {

// A temporary runtime directory with an empty by-id folder; removed with everything in it.
class BoardSandbox {
public:
    BoardSandbox();
    std::string runtimeDirectory() const { return root_.path() + "/runtime"; }
    std::string registryDirectory() const { return root_.path() + "/runtime/kt57d/boards"; }
    std::string byIdDirectory() const { return root_.path() + "/by-id"; }
    BoardLocations locations() const;

private:
    const kt57::support::ScratchDirectory root_{"kt57-linux-test"};
};

class ServedBoard {
public:
    enum class Face { Headless, OffscreenPanel };
    ServedBoard(const BoardSandbox& sandbox, const char* serial, int latencyMilliseconds = 1,
                Face face = Face::Headless, const std::string& vcdPath = "");
    ~ServedBoard();  // SIGTERM, then waits

    bool started() const { return devicePath_.size() > 0; }
    const std::string& devicePath() const { return devicePath_; }
    pid_t pid() const { return pid_; }
    // Sends one control line and waits until the log shows expectedLog (if given).
    bool control(const std::string& line, const std::string& expectedLog = "");
    // Waits until the log, after the last text found, contains text; true when it came in time.
    bool waitForLog(const std::string& text, int timeoutMilliseconds = 1000);
    const std::string& log() const { return log_; }
    void kill(int signalNumber);  // and reaps the process
    int exitStatus() const { return exitStatus_; }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string log_;
    size_t searchFrom_ = 0;
    std::string devicePath_;
    int exitStatus_ = -1;
};

// Milliseconds on the monotonic clock, and a short wait for a condition (polls every ms).
long long nowMilliseconds();
template <typename Condition>
bool eventually(Condition condition, int timeoutMilliseconds = 1000);

}  // namespace kt57::test

#include <time.h>
namespace kt57::test {
template <typename Condition>
bool eventually(Condition condition, int timeoutMilliseconds) {
    const long long deadline = nowMilliseconds() + timeoutMilliseconds;
    for (;;) {
        if (condition()) return true;
        if (nowMilliseconds() > deadline) return false;
        const timespec pause {0, 1000000};
        nanosleep(&pause, nullptr);
    }
}
}  // namespace kt57::test
