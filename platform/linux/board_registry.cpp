#include "platform/linux/board_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <limits>

#include "device/board_protocol.h"

namespace kt57 {

namespace {

// Path, pid and start time with their newlines, and room to tell an overlong file from a full one.
constexpr size_t entryCapacity = boardPathCapacity + 64;
// A stat line holds some fifty numbers and a command name of at most 64 bytes.
constexpr size_t statCapacity = 2048;
constexpr unsigned long long maximumPid = static_cast<unsigned long long>(std::numeric_limits<pid_t>::max());
constexpr int startTimeField = 22;

bool entryPath(const char* directory, const char* serialNumber, const char* suffix, char* path, size_t capacity) {
    const int written = std::snprintf(path, capacity, "%s/%s%s", directory, serialNumber, suffix);
    return written > 0 && static_cast<size_t>(written) < capacity;
}

bool isCharacterDevice(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

// Decimal digits only: strtoull would take a sign, blanks and "-1" as the largest number.
bool parseDigits(const char*& at, unsigned long long maximum, unsigned long long& value) {
    const char* start = at;
    unsigned long long result = 0;
    while (*at >= '0' && *at <= '9') {
        const unsigned long long digit = static_cast<unsigned long long>(*at - '0');
        if (result > (maximum - digit) / 10) return false;
        result = result * 10 + digit;
        ++at;
    }
    if (at == start) return false;
    value = result;
    return true;
}

bool parseNumberLine(const char*& at, unsigned long long maximum, unsigned long long& value) {
    if (!parseDigits(at, maximum, value) || *at != '\n') return false;
    ++at;
    return true;
}

// The whole of a small regular file, read without blocking: a FIFO planted as an entry would
// stall every listing. False when the file is missing, not regular, empty, or does not fit.
bool readSmallFile(const char* path, char* text, size_t capacity, size_t& size) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat status {};
    bool readable = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    size = 0;
    while (readable && size < capacity - 1) {
        const ssize_t got = read(fd, text + size, capacity - 1 - size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            readable = got == 0;
            break;
        }
        size += static_cast<size_t>(got);
    }
    close(fd);
    if (!readable || size == 0 || size == capacity - 1) return false;
    text[size] = '\0';
    return true;
}

// A zombie has ended even while its parent has yet to reap it, and its terminal is gone with it.
bool hasEnded(char state) {
    return state == 'Z' || state == 'X' || state == 'x';
}

// "pid (comm) state ppid ...": the command name may itself hold spaces and ')', so the fields
// after it are counted from the last ')'.
bool startTimeFromStat(const char* text, long pid, unsigned long long& startTime) {
    const char* at = text;
    unsigned long long statPid = 0;
    if (!parseDigits(at, maximumPid, statPid) || statPid != static_cast<unsigned long long>(pid) ||
        std::strncmp(at, " (", 2) != 0) {
        return false;
    }
    const char* commEnd = std::strrchr(at, ')');
    if (commEnd == nullptr) return false;
    at = commEnd + 1;
    if (at[0] != ' ' || at[1] == '\0' || at[2] != ' ' || hasEnded(at[1])) return false;
    at += 3;
    for (int field = 4; field < startTimeField; ++field) {
        const char* space = std::strchr(at, ' ');
        if (space == nullptr || space == at) return false;
        at = space + 1;
    }
    unsigned long long value = 0;
    if (!parseDigits(at, ULLONG_MAX, value) || (*at != ' ' && *at != '\n')) return false;
    startTime = value;
    return true;
}

// Entry text, one item a line: the device path, the owner's pid, the owner's start time.
bool parseEntry(const char* text, size_t size, BoardRegistration& registration) {
    const char* newline = std::strchr(text, '\n');
    if (text[0] != '/' || newline == nullptr) return false;
    const size_t pathLength = static_cast<size_t>(newline - text);
    if (pathLength >= sizeof registration.devicePath) return false;
    const char* at = newline + 1;
    unsigned long long pid = 0;
    unsigned long long startTime = 0;
    if (!parseNumberLine(at, maximumPid, pid) || pid == 0 || !parseNumberLine(at, ULLONG_MAX, startTime) ||
        at != text + size) {
        return false;
    }
    std::memcpy(registration.devicePath, text, pathLength);
    registration.devicePath[pathLength] = '\0';
    registration.ownerPid = static_cast<long>(pid);
    registration.ownerStartTime = startTime;
    return true;
}

bool readEntry(const char* directory, const char* serialNumber, BoardRegistration& registration) {
    char path[boardPathCapacity + 32];
    if (!entryPath(directory, serialNumber, "", path, sizeof path)) return false;
    char text[entryCapacity];
    size_t size = 0;
    return readSmallFile(path, text, sizeof text, size) && parseEntry(text, size, registration);
}

bool sameOwner(const BoardRegistration& registration, long ownerPid, unsigned long long ownerStartTime) {
    return registration.ownerPid == ownerPid && registration.ownerStartTime == ownerStartTime;
}

// A live pid is not proof enough: after its owner was killed outright the pid can belong to any
// later process. Only the same pid still running since the same moment is the owner.
bool ownerRuns(const BoardRegistration& registration, const char* processDirectory) {
    unsigned long long startTime = 0;
    return processStartTime(registration.ownerPid, startTime, processDirectory) &&
           startTime == registration.ownerStartTime;
}

}  // namespace

bool processStartTime(long pid, unsigned long long& startTime, const char* processDirectory) {
    if (pid <= 0 || static_cast<unsigned long long>(pid) > maximumPid) return false;
    char path[boardPathCapacity + 32];
    const int written = std::snprintf(path, sizeof path, "%s/%ld/stat", processDirectory, pid);
    if (written <= 0 || static_cast<size_t>(written) >= sizeof path) return false;
    char text[statCapacity];
    size_t size = 0;
    return readSmallFile(path, text, sizeof text, size) && startTimeFromStat(text, pid, startTime);
}

bool readRegistration(const char* directory, const char* serialNumber, BoardRegistration& registration,
                      const char* processDirectory) {
    if (!isSerialNumber(serialNumber)) return false;
    BoardRegistration found;
    if (!readEntry(directory, serialNumber, found)) return false;
    if (!ownerRuns(found, processDirectory) || !isCharacterDevice(found.devicePath)) return false;
    registration = found;
    return true;
}

bool writeRegistration(const char* directory, const char* serialNumber, const BoardRegistration& registration,
                       const char* processDirectory) {
    if (!isSerialNumber(serialNumber)) return false;
    char finalPath[boardPathCapacity + 32];
    char temporaryPath[boardPathCapacity + 64];
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%ld.tmp", registration.ownerPid);
    if (!entryPath(directory, serialNumber, "", finalPath, sizeof finalPath) ||
        !entryPath(directory, serialNumber, suffix, temporaryPath, sizeof temporaryPath)) {
        return false;
    }
    char text[entryCapacity];
    const int length = std::snprintf(text, sizeof text, "%s\n%ld\n%llu\n", registration.devicePath,
                                     registration.ownerPid, registration.ownerStartTime);
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
        const bool heldByOther =
            readRegistration(directory, serialNumber, existing, processDirectory) &&
            !sameOwner(existing, registration.ownerPid, registration.ownerStartTime);
        placed = !heldByOther && rename(temporaryPath, finalPath) == 0;
    }
    unlink(temporaryPath);
    return placed;
}

void removeRegistration(const char* directory, const char* serialNumber, long ownerPid,
                        unsigned long long ownerStartTime) {
    BoardRegistration found;
    if (!readEntry(directory, serialNumber, found) || !sameOwner(found, ownerPid, ownerStartTime)) return;
    char path[boardPathCapacity + 32];
    if (entryPath(directory, serialNumber, "", path, sizeof path)) unlink(path);
}

}  // namespace kt57
