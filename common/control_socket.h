// Where a user's kt57d listens for posted commands: one local socket per user, owner-only.
#pragma once
#include <string>

namespace kt57 {

constexpr const char* controlSocketName = "control.socket";

// $XDG_RUNTIME_DIR/kt57d/control.socket, beside the board registry; without an absolute
// XDG_RUNTIME_DIR, /tmp/kt57d-<uid>/control.socket.
// Empty when the path would not fit a local socket address.
std::string controlSocketPath();
// The folder of controlSocketPath(), created owner-only when missing.
// False, with a reason, when it is missing or belongs to someone else or others can enter it.
bool prepareControlSocketFolder(const std::string& socketPath, std::string& reason);
// True when the process at the other end of the connected socket runs as this user.
bool peerIsSameUser(int socketDescriptor);

}  // namespace kt57
