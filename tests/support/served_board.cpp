#include "tests/support/served_board.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kt57::test {

long long nowMilliseconds() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

BoardSandbox::BoardSandbox() {
    mkdir(runtimeDirectory().c_str(), 0700);
    mkdir(byIdDirectory().c_str(), 0700);
}

BoardLocations BoardSandbox::locations() const {
    BoardLocations locations;
    std::snprintf(locations.byIdDirectory, sizeof locations.byIdDirectory, "%s", byIdDirectory().c_str());
    std::snprintf(locations.registryDirectory, sizeof locations.registryDirectory, "%s", registryDirectory().c_str());
    return locations;
}

ServedBoard::ServedBoard(const BoardSandbox& sandbox, const char* serial, int latencyMilliseconds, Face face,
                         const std::string& vcdPath) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
    const std::string runtime = sandbox.runtimeDirectory();
    const std::string latency = std::to_string(latencyMilliseconds);
    std::vector<const char*> arguments {"kt57-board", "--serial", serial, "--latency", latency.c_str()};
    if (face == Face::Headless) arguments.push_back("--headless");
    if (!vcdPath.empty()) arguments.insert(arguments.end(), {"--vcd", vcdPath.c_str()});
    arguments.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        if (face == Face::OffscreenPanel) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execv(KT57_BOARD_PATH, const_cast<char* const*>(arguments.data()));
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    fcntl(output_, F_SETFL, O_NONBLOCK);
    if (pid_ < 0 || !waitForLog("serving ")) return;
    const size_t on = log_.find(" on /");
    const size_t end = log_.find(',', on);
    if (on != std::string::npos && end != std::string::npos) devicePath_ = log_.substr(on + 4, end - on - 4);
}

ServedBoard::~ServedBoard() {
    kill(SIGTERM);
    if (input_ >= 0) close(input_);
    if (output_ >= 0) close(output_);
}

void ServedBoard::kill(int signalNumber) {
    if (pid_ <= 0) return;
    ::kill(pid_, signalNumber);
    int status = 0;
    waitpid(pid_, &status, 0);
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
}

bool ServedBoard::waitForLog(const std::string& text, int timeoutMilliseconds) {
    const long long deadline = nowMilliseconds() + timeoutMilliseconds;
    for (;;) {
        const size_t found = log_.find(text, searchFrom_);
        if (found != std::string::npos) {
            searchFrom_ = found + text.size();
            return true;
        }
        const long long remaining = deadline - nowMilliseconds();
        if (remaining <= 0) return false;
        pollfd entry {output_, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(remaining)) <= 0) continue;
        char bytes[4096];
        const ssize_t got = read(output_, bytes, sizeof bytes);
        if (got <= 0) return false;
        log_.append(bytes, static_cast<size_t>(got));
    }
}

bool ServedBoard::control(const std::string& line, const std::string& expectedLog) {
    const std::string text = line + "\n";
    if (write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return false;
    return expectedLog.empty() || waitForLog(expectedLog);
}

}  // namespace kt57::test
