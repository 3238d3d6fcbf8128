#include "common/control_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kt57 {
namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

std::string controlSocketPath() {
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        folder = std::string(runtime) + "/kt57d";
    } else {
        folder = "/tmp/kt57d-" + std::to_string(static_cast<unsigned long>(getuid()));
    }
    std::string path = folder + "/" + controlSocketName;
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) return {};
    return path;
}

bool prepareControlSocketFolder(const std::string& socketPath, std::string& reason) {
    const std::string folder = folderOf(socketPath);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        reason = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        reason = folder + " is not a folder";
        return false;
    }
    // Anyone who may enter the folder could post commands, so it must be ours alone.
    if (info.st_uid != getuid() || (info.st_mode & 0077) != 0) {
        reason = folder + " must belong to this user and be closed to others (mode 0700)";
        return false;
    }
    return true;
}

bool peerIsSameUser(int socketDescriptor) {
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (getsockopt(socketDescriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
    return credentials.uid == getuid();
}

}  // namespace kt57
