#include "platform/linux/board_registry.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/board_protocol.h"

namespace kt57 {

namespace {

constexpr size_t entryCapacity = boardPathCapacity + 32;

bool entryPath(const char* directory, const char* serialNumber, const char* suffix, char* path, size_t capacity) {
    const int written = std::snprintf(path, capacity, "%s/%s%s", directory, serialNumber, suffix);
    return written > 0 && static_cast<size_t>(written) < capacity;
}

bool processIsAlive(long pid) {
    if (pid <= 0) return false;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool isCharacterDevice(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

// Entry text: the device path on the first line, the owner's pid on the second.
bool parseEntry(char* text, BoardRegistration& registration) {
    char* newline = std::strchr(text, '\n');
    if (newline == nullptr || newline == text) return false;
    *newline = '\0';
    const size_t pathLength = std::strlen(text);
    if (text[0] != '/' || pathLength >= sizeof registration.devicePath) return false;
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(newline + 1, &end, 10);
    if (errno != 0 || end == newline + 1 || (*end != '\n' && *end != '\0') || pid <= 0) return false;
    std::memcpy(registration.devicePath, text, pathLength + 1);
    registration.ownerPid = pid;
    return true;
}

bool readEntry(const char* directory, const char* serialNumber, BoardRegistration& registration) {
    char path[boardPathCapacity + 32];
    if (!entryPath(directory, serialNumber, "", path, sizeof path)) return false;
    // Non-blocking, and a regular file only: a FIFO planted as an entry would stall every listing.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return false;
    }
    char text[entryCapacity];
    const ssize_t size = read(fd, text, sizeof text - 1);
    close(fd);
    if (size <= 0) return false;
    text[size] = '\0';
    return parseEntry(text, registration);
}

}  // namespace

bool isVirtualSerialNumber(const char* serialNumber) { return isSerialNumber(serialNumber); }

bool readRegistration(const char* directory, const char* serialNumber, BoardRegistration& registration) {
    if (!isVirtualSerialNumber(serialNumber)) return false;
    BoardRegistration found;
    if (!readEntry(directory, serialNumber, found)) return false;
    if (!processIsAlive(found.ownerPid) || !isCharacterDevice(found.devicePath)) return false;
    registration = found;
    return true;
}

bool writeRegistration(const char* directory, const char* serialNumber, const BoardRegistration& registration) {
    if (!isVirtualSerialNumber(serialNumber)) return false;
    char finalPath[boardPathCapacity + 32];
    char temporaryPath[boardPathCapacity + 64];
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%ld.tmp", registration.ownerPid);
    if (!entryPath(directory, serialNumber, "", finalPath, sizeof finalPath) ||
        !entryPath(directory, serialNumber, suffix, temporaryPath, sizeof temporaryPath)) {
        return false;
    }
    char text[entryCapacity];
    const int length = std::snprintf(text, sizeof text, "%s\n%ld\n", registration.devicePath, registration.ownerPid);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof text) return false;
    const int fd = open(temporaryPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    const bool written = write(fd, text, static_cast<size_t>(length)) == length;
    const bool closed = close(fd) == 0;
    if (!written || !closed) {
        unlink(temporaryPath);
        return false;
    }
    // link() fails when the name exists, so of two boards starting with one serial number only
    // one gets it; an entry that is stale or already ours is replaced.
    bool placed = link(temporaryPath, finalPath) == 0;
    if (!placed && errno == EEXIST) {
        BoardRegistration existing;
        const bool heldByOther = readRegistration(directory, serialNumber, existing) &&
                                 existing.ownerPid != registration.ownerPid;
        placed = !heldByOther && rename(temporaryPath, finalPath) == 0;
    }
    unlink(temporaryPath);
    return placed;
}

void removeRegistration(const char* directory, const char* serialNumber, long ownerPid) {
    BoardRegistration found;
    if (!readEntry(directory, serialNumber, found) || found.ownerPid != ownerPid) return;
    char path[boardPathCapacity + 32];
    if (entryPath(directory, serialNumber, "", path, sizeof path)) unlink(path);
}

}  // namespace kt57
