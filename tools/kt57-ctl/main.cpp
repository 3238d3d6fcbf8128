// kt57-ctl: posts a command to the running kt57d of this user, as another Windows program would
// post a message to its window, or reads its run state. One request per call; see
// docs/linux-desktop.md for the protocol.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/command_options.h"
#include "common/control_protocol.h"
#include "common/control_socket.h"
#include "common/version_option.h"

namespace {

// Exit codes, one per kind of problem.
constexpr int exitDelivered = 0;
constexpr int exitNotRunning = 1;
constexpr int exitUsage = 2;
constexpr int exitRefused = 3;

// Start-up blocks kt57d before it reads its socket (up to about 2 s without a board).
constexpr int replyTimeoutMilliseconds = 10000;
// The state line is the longest answer: about 250 bytes with the widest counters.
constexpr size_t maxReplyLength = 1024;

// The requests are kt57d's (common/control_protocol.h); this only lists them.
constexpr kt57::CommandLine commandLine{
    "kt57-ctl", {}, "REQUEST",
    "Sends one request to the running kt57d of this user:\n"
    "  post A|P   the posted mode command A or P, as another program posts it\n"
    "  key K      a typed character: one printable character, enter or esc\n"
    "  menu N     the menu command N (40001 ends the program)\n"
    "  close      close the window from its title bar\n"
    "  state      print one line of the run state (changes nothing)\n"};

bool writeAll(int descriptor, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = send(descriptor, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// One reply line, without its newline; false on time-out or a closed connection.
bool readReplyLine(int descriptor, std::string& line) {
    char byte = 0;
    while (line.size() < maxReplyLength) {
        pollfd waiting{descriptor, POLLIN, 0};
        const int ready = poll(&waiting, 1, replyTimeoutMilliseconds);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t got = recv(descriptor, &byte, 1, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        if (byte == '\n') return true;
        line.push_back(byte);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (kt57::printedVersion(argc, argv, "kt57-ctl")) return exitDelivered;
    if (argc == 2 && kt57::isHelpOption(argv[1])) {
        std::fputs(kt57::usageText(commandLine).c_str(), stdout);
        return exitDelivered;
    }
    std::string request;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) request += ' ';
        request += argv[i];
    }
    kt57::ControlRequest parsed;
    if (argc < 2) {
        std::fputs(kt57::usageText(commandLine).c_str(), stderr);
        return exitUsage;
    }
    if (const char* reason = kt57::parseControlRequest(request, parsed)) {
        std::fprintf(stderr, "kt57-ctl: %s (kt57-ctl --help lists the requests)\n", reason);
        return exitUsage;
    }

    const std::string path = kt57::controlSocketPath();
    if (path.empty()) {
        std::fprintf(stderr, "kt57-ctl: XDG_RUNTIME_DIR is too long for a local socket\n");
        return exitNotRunning;
    }
    const int descriptor = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        std::fprintf(stderr, "kt57-ctl: cannot create a socket: %s\n", std::strerror(errno));
        return exitNotRunning;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        close(descriptor);
        if (error == ENOENT || error == ECONNREFUSED) {
            std::fprintf(stderr, "kt57-ctl: kt57d is not running (nothing listens on %s)\n", path.c_str());
        } else {
            std::fprintf(stderr, "kt57-ctl: cannot reach kt57d at %s: %s\n", path.c_str(), std::strerror(error));
        }
        return exitNotRunning;
    }

    std::string reply;
    const bool answered = writeAll(descriptor, request + "\n") && readReplyLine(descriptor, reply);
    close(descriptor);
    if (!answered) {
        std::fprintf(stderr, "kt57-ctl: kt57d did not answer\n");
        return exitRefused;
    }
    if (reply == "ok") return exitDelivered;
    if (parsed.action == kt57::ControlAction::State && reply.rfind("ok ", 0) == 0) {
        std::printf("%s\n", reply.c_str() + 3);
        return exitDelivered;
    }
    std::fprintf(stderr, "kt57-ctl: kt57d refused the request: %s\n",
                 reply.rfind("error ", 0) == 0 ? reply.c_str() + 6 : reply.c_str());
    return exitRefused;
}
