#include "platform/linux/pty_board.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/linux/board_registry.h"

namespace kt57 {

namespace {

constexpr unsigned char carriageReturn = 0x0D;
constexpr size_t frameSize = 9;

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

int64_t monotonicMilliseconds() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

PtyBoard::PtyBoard(const char* registryDirectory) {
    std::snprintf(registryDirectory_, sizeof registryDirectory_, "%s", registryDirectory);
}

PtyBoard::~PtyBoard() {
    if (isPlugged()) unplug(monotonicMilliseconds());
}

void PtyBoard::report(BoardEventKind kind, int64_t time, const unsigned char* bytes, size_t size) {
    if (events != nullptr) events->boardEvent(BoardEvent {kind, time, bytes, size});
}

bool PtyBoard::plug(int64_t nowMilliseconds, char* error, size_t errorCapacity) {
    if (isPlugged()) return true;
    const char* serial = model.serialNumber;
    if (!isVirtualSerialNumber(serial)) {
        std::snprintf(error, errorCapacity, "serial number '%s' is not 8 characters from '0' to 'Z'", serial);
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

    BoardRegistration registration;
    std::snprintf(registration.devicePath, sizeof registration.devicePath, "%s", path);
    registration.ownerPid = static_cast<long>(getpid());
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
    commandSize_ = 0;
    report(BoardEventKind::Plugged, nowMilliseconds, nullptr, 0);
    return true;
}

void PtyBoard::unplug(int64_t nowMilliseconds) {
    if (!isPlugged()) return;
    removeRegistration(registryDirectory_, registeredSerial_, static_cast<long>(getpid()));
    // Closing the master hangs the sequencer's side up: its calls fail from now on.
    close(master_);
    close(slaveKeeper_);
    master_ = -1;
    slaveKeeper_ = -1;
    devicePath_[0] = '\0';
    commandSize_ = 0;
    for (PendingReply& reply : pending_) reply.used = false;
    report(BoardEventKind::Unplugged, nowMilliseconds, nullptr, 0);
}

void PtyBoard::writeToSequencer(const unsigned char* bytes, size_t size) {
    // Non-blocking: a sequencer that never reads loses bytes, as a full chip FIFO would.
    while (size > 0) {
        const ssize_t put = write(master_, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        bytes += put;
        size -= static_cast<size_t>(put);
    }
}

void PtyBoard::takeByte(unsigned char byte, int64_t now) {
    command_[commandSize_++] = byte;
    // Every 9 bytes make a frame; a CR that comes early ends a broken one, so the board finds
    // the start of the next command again.
    if (commandSize_ < frameSize && byte != carriageReturn) return;
    const size_t size = commandSize_;
    commandSize_ = 0;
    if (size < frameSize) {
        report(BoardEventKind::Discarded, now, command_, size);
        return;
    }
    // Reported after the model took it, so a listener sees the outputs it set.
    unsigned char reply[frameSize];
    const bool answered = model.answerCommand(command_, reply);
    report(BoardEventKind::Command, now, command_, size);
    if (!answered) {
        report(BoardEventKind::Silent, now, nullptr, 0);
        return;
    }
    for (PendingReply& slot : pending_) {
        if (slot.used) continue;
        slot.used = true;
        slot.dueMilliseconds = now + (latencyMilliseconds > 0 ? latencyMilliseconds : 0);
        slot.order = nextOrder_++;
        std::memcpy(slot.bytes, reply, frameSize);
        return;
    }
}

void PtyBoard::sendDueReplies(int64_t now) {
    for (;;) {
        PendingReply* next = nullptr;
        for (PendingReply& slot : pending_) {
            if (slot.used && slot.dueMilliseconds <= now && (next == nullptr || slot.order < next->order)) next = &slot;
        }
        if (next == nullptr) return;
        next->used = false;
        writeToSequencer(next->bytes, frameSize);
        report(BoardEventKind::Reply, now, next->bytes, frameSize);
    }
}

void PtyBoard::service(int64_t nowMilliseconds) {
    if (!isPlugged()) return;
    unsigned char bytes[256];
    for (;;) {
        const ssize_t got = read(master_, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (ssize_t i = 0; i < got; ++i) takeByte(bytes[i], nowMilliseconds);
    }
    sendDueReplies(nowMilliseconds);
}

int PtyBoard::millisecondsUntilDue(int64_t nowMilliseconds) const {
    int64_t earliest = -1;
    for (const PendingReply& slot : pending_) {
        if (!slot.used) continue;
        const int64_t wait = slot.dueMilliseconds > nowMilliseconds ? slot.dueMilliseconds - nowMilliseconds : 0;
        if (earliest < 0 || wait < earliest) earliest = wait;
    }
    return static_cast<int>(earliest);
}

void PtyBoard::inject(const unsigned char* bytes, size_t size, int64_t nowMilliseconds) {
    if (!isPlugged() || size == 0) return;
    writeToSequencer(bytes, size);
    report(BoardEventKind::Injected, nowMilliseconds, bytes, size);
}

}  // namespace kt57
