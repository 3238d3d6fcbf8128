#include "tools/kt57-board/pty_board.h"

#include <fcntl.h>
#include <sys/file.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/linux/board_registry.h"

namespace kt57 {

namespace {

// The master side is raw too: with echo on, the board would read its own replies back as commands.
bool makeRaw(int fd) {
    termios settings {};
    if (tcgetattr(fd, &settings) != 0) return false;
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

void describe(char* error, size_t capacity, const char* what) {
    if (capacity > 0) std::snprintf(error, capacity, "%s: %s", what, std::strerror(errno));
}

}  // namespace

PtyBoard::PtyBoard(const char* registryDirectory, Clock& clock) : session(clock, this) {
    std::snprintf(registryDirectory_, sizeof registryDirectory_, "%s", registryDirectory);
}

PtyBoard::~PtyBoard() {
    session.events = nullptr;
    session.unplug();
}

bool PtyBoard::connectCable(char* error, size_t errorCapacity) {
    if (isPlugged()) return true;
    const char* serial = model.serialNumber;
    if (!isSerialNumber(serial)) {
        std::snprintf(error, errorCapacity, "serial number '%s' is not %s", serial, serialNumberRule);
        return false;
    }
    BoardRegistration existing;
    if (readRegistration(registryDirectory_, serial, existing) && existing.ownerPid != static_cast<long>(getpid())) {
        std::snprintf(error, errorCapacity, "serial number %s is already served by process %ld on %s", serial,
                      existing.ownerPid, existing.devicePath);
        return false;
    }
    if (!createRegistryDirectory(registryDirectory_)) {
        std::snprintf(error, errorCapacity, "cannot use the board registry %s", registryDirectory_);
        return false;
    }
    // The entry names this process by pid and start time, so no later process that reuses the pid
    // passes for this board once it is gone.
    BoardRegistration registration;
    registration.ownerPid = static_cast<long>(getpid());
    if (!processStartTime(registration.ownerPid, registration.ownerStartTime)) {
        std::snprintf(error, errorCapacity, "cannot read this process's start time from %s", systemProcessDirectory);
        return false;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        describe(error, errorCapacity, "cannot open a pseudo-terminal");
        return false;
    }
    char path[boardPathCapacity];
    int slave = -1;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, path, sizeof path) != 0 ||
        !makeRaw(master) || (slave = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
        describe(error, errorCapacity, "cannot set up the pseudo-terminal");
        close(master);
        return false;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    std::snprintf(registration.devicePath, sizeof registration.devicePath, "%s", path);
    if (!writeRegistration(registryDirectory_, serial, registration)) {
        if (readRegistration(registryDirectory_, serial, existing) && existing.ownerPid != registration.ownerPid) {
            std::snprintf(error, errorCapacity, "serial number %s is already served by process %ld on %s", serial,
                          existing.ownerPid, existing.devicePath);
        } else {
            describe(error, errorCapacity, "cannot write the board registration");
        }
        close(slave);
        close(master);
        return false;
    }
    master_ = master;
    slaveKeeper_ = slave;
    std::memcpy(devicePath_, path, sizeof devicePath_);
    std::memcpy(registeredSerial_, serial, sizeof registeredSerial_);
    openLocked_ = false;
    return true;
}

void PtyBoard::disconnectCable() {
    if (!isPlugged()) return;
    const long pid = static_cast<long>(getpid());
    unsigned long long startTime = 0;
    if (processStartTime(pid, startTime)) removeRegistration(registryDirectory_, registeredSerial_, pid, startTime);
    // Closing the master hangs the sequencer's side up: its calls fail from now on.
    close(master_);
    close(slaveKeeper_);
    master_ = -1;
    slaveKeeper_ = -1;
    devicePath_[0] = '\0';
}

void PtyBoard::writeToSequencer(const unsigned char* bytes, size_t size) {
    // Non-blocking: a sequencer that never reads loses bytes, as a full chip FIFO would.
    while (size > 0) {
        const ssize_t put = write(master_, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        bytesSent_ += static_cast<uint64_t>(put);
        bytes += put;
        size -= static_cast<size_t>(put);
    }
}

void PtyBoard::holdOpenLock() {
    // The tty driver takes the terminal's flock on open, so holding it here makes its open fail
    // while the board stays listed, root or not.
    const bool wanted = session.faults.openFails;
    if (wanted == openLocked_ || slaveKeeper_ < 0) return;
    if (flock(slaveKeeper_, wanted ? LOCK_EX | LOCK_NB : LOCK_UN) == 0) openLocked_ = wanted;
}

void PtyBoard::service() {
    session.update();
    if (!isPlugged()) return;
    holdOpenLock();
    const BoardSession::Link link = session.liveLink();
    unsigned char bytes[256];
    for (;;) {
        const ssize_t got = read(master_, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        bytesRead_ += static_cast<uint64_t>(got);
        // A write the board fails takes nothing, as on the in-process board.
        session.write(link, bytes, static_cast<size_t>(got));
    }
    for (;;) {
        size_t count = 0;
        if (session.read(link, bytes, sizeof bytes, count) != LinkCall::Done || count == 0) break;
        writeToSequencer(bytes, count);
    }
}

}  // namespace kt57
