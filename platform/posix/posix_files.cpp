#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kt57 {
namespace {

const char* notRegular(mode_t mode) {
    if (S_ISFIFO(mode)) return "not a regular file (a FIFO)";
    if (S_ISDIR(mode)) return "not a regular file (a directory)";
    if (S_ISCHR(mode)) return "not a regular file (a character device)";
    if (S_ISBLK(mode)) return "not a regular file (a block device)";
    if (S_ISSOCK(mode)) return "not a regular file (a socket)";
    return "not a regular file";
}

// The folder part of path, "." when it has none; false when it does not fit.
bool folderOf(const char* path, char* folder, size_t capacity) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        std::strcpy(folder, ".");
        return true;
    }
    const size_t length = slash == path ? 1 : static_cast<size_t>(slash - path);
    if (length >= capacity) return false;
    std::memcpy(folder, path, length);
    folder[length] = '\0';
    return true;
}

}  // namespace

int openRegularFile(const char* path, const char*& why) {
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        why = std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(descriptor, &info) != 0) {
        why = std::strerror(errno);
        close(descriptor);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        why = notRegular(info.st_mode);
        close(descriptor);
        return notRegularFile;
    }
    return descriptor;
}

ssize_t readUpTo(int descriptor, char* buffer, size_t capacity) {
    size_t total = 0;
    while (total < capacity) {
        const ssize_t got = read(descriptor, buffer + total, capacity - total);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        total += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

bool PosixFiles::readStart(const char* path, char* buffer, size_t capacity, size_t& size) {
    size = 0;
    const char* why = nullptr;
    const int descriptor = openRegularFile(path, why);
    if (descriptor < 0) return false;
    const ssize_t got = readUpTo(descriptor, buffer, capacity);
    close(descriptor);
    // The file is there even when reading it fails: it then reads as empty.
    size = got > 0 ? static_cast<size_t>(got) : 0;
    return true;
}

bool PosixFiles::syncToDisk(std::FILE* file) { return fsync(fileno(file)) == 0; }

bool PosixFiles::replace(const char* fresh, const char* target) {
    if (std::rename(fresh, target) != 0) return false;
    // The rename is only a change to the folder until the folder itself is on the disk. Past the
    // rename there is nothing to undo, so a failure here still counts as replaced.
    char folder[4096];
    if (!folderOf(target, folder, sizeof folder)) return true;
    const int descriptor = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return true;
    fsync(descriptor);
    close(descriptor);
    return true;
}

}  // namespace kt57
