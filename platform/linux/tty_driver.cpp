// TtyDriver: the eight calls on a tty descriptor. Read, write and status touch only the fixed
// handle table and the descriptor, so the timer tick allocates nothing.
#include "platform/linux/tty_driver.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kt57 {

namespace {

constexpr uintptr_t slotBits = 4;
static_assert(TtyDriver::maxOpenHandles < (1 << slotBits));

int64_t nowMilliseconds() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Raw 8N1: every byte passes untranslated both ways; the line speed is not touched.
bool makeRaw(int fd) {
    termios settings {};
    if (tcgetattr(fd, &settings) != 0) return false;
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                               IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    // VMIN 1 with O_NONBLOCK: no data reads as EAGAIN, so a read of 0 bytes can only mean hang-up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// Waits until fd is ready for events or the deadline passes. False on time-out; hangUp reports
// a descriptor that will never be ready again.
bool waitReady(int fd, short events, int64_t deadline, bool& hangUp) {
    hangUp = false;
    for (;;) {
        const int64_t remaining = deadline - nowMilliseconds();
        if (remaining <= 0) return false;
        pollfd entry {fd, events, 0};
        const int ready = poll(&entry, 1, static_cast<int>(remaining));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            hangUp = true;
            return false;
        }
        if (ready == 0) return false;
        if ((entry.revents & events) != 0) return true;
        hangUp = true;  // POLLHUP, POLLERR or POLLNVAL without the event asked for
        return false;
    }
}

bool setLatencyTimer(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    char path[96];
    std::snprintf(path, sizeof path, "/sys/dev/char/%u:%u/device/latency_timer", major(info.st_rdev),
                  minor(info.st_rdev));
    const int attribute = open(path, O_WRONLY | O_CLOEXEC);
    if (attribute < 0) return false;
    const bool written = write(attribute, "1", 1) == 1;
    close(attribute);
    return written;
}

}  // namespace

TtyDriver::TtyDriver() : TtyDriver(defaultBoardLocations()) {}

TtyDriver::TtyDriver(const BoardLocations& locations) : locations_(locations) {}

TtyDriver::~TtyDriver() {
    for (OpenBoard& board : open_) {
        if (board.fd >= 0) close(board.fd);
    }
}

TtyDriver::OpenBoard* TtyDriver::find(FT_HANDLE handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    const uintptr_t slot = value & ((uintptr_t{1} << slotBits) - 1);
    if (slot == 0 || slot > static_cast<uintptr_t>(maxOpenHandles)) return nullptr;
    OpenBoard& board = open_[slot - 1];
    if (board.fd < 0 || (value >> slotBits) != board.generation) return nullptr;
    return &board;
}

FT_STATUS TtyDriver::FT_ListDevices(void* arg1, void* arg2, uint32_t flags) {
    if (flags == FT_LIST_NUMBER_ONLY) {
        if (arg1 == nullptr) return FT_INVALID_PARAMETER;
        listBoards(locations_, listing_);
        *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(listing_.count);
        return FT_OK;
    }
    if (flags == (FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER)) {
        if (arg2 == nullptr) return FT_INVALID_PARAMETER;
        const uintptr_t index = reinterpret_cast<uintptr_t>(arg1);
        listBoards(locations_, listing_);
        if (index >= static_cast<uintptr_t>(listing_.count)) return FT_DEVICE_NOT_FOUND;
        static_assert(boardSerialCapacity <= listedSerialCapacity);
        std::memcpy(arg2, listing_.boards[index].serialNumber, boardSerialCapacity);
        return FT_OK;
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS TtyDriver::FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
    if (handle == nullptr || arg == nullptr || flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_INVALID_PARAMETER;
    *handle = nullptr;
    const char* serialNumber = static_cast<const char*>(arg);
    if (strnlen(serialNumber, boardSerialCapacity) >= boardSerialCapacity) return FT_DEVICE_NOT_FOUND;
    int slot = 0;
    while (slot < maxOpenHandles && open_[slot].fd >= 0) ++slot;
    if (slot == maxOpenHandles) return FT_DEVICE_NOT_OPENED;

    listBoards(locations_, listing_);
    const ListedBoard* board = findListedBoard(listing_, serialNumber);
    if (board == nullptr) return FT_DEVICE_NOT_FOUND;
    const int fd = open(board->devicePath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return FT_DEVICE_NOT_OPENED;
    // One sequencer per board, as with the vendor driver; the lock dies with the process.
    if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || !makeRaw(fd)) {
        close(fd);
        return FT_DEVICE_NOT_OPENED;
    }
    // A fresh handle starts with empty queues: nothing from an earlier session is read as a reply.
    tcflush(fd, TCIOFLUSH);

    OpenBoard& opened = open_[slot];
    opened.fd = fd;
    opened.generation = (opened.generation + 1) & 0x0FFFFFFFu;
    if (opened.generation == 0) opened.generation = 1;
    opened.readTimeoutMilliseconds = 0;
    opened.writeTimeoutMilliseconds = 0;
    *handle = reinterpret_cast<FT_HANDLE>((uintptr_t{opened.generation} << slotBits) |
                                          static_cast<uintptr_t>(slot + 1));
    return FT_OK;
}

FT_STATUS TtyDriver::FT_SetChars(FT_HANDLE handle, unsigned char, unsigned char eventCharEnabled, unsigned char,
                                 unsigned char) {
    OpenBoard* board = find(handle);
    if (board == nullptr) return FT_INVALID_HANDLE;
    if (!eventCharEnabled) return FT_OK;
    // The tty driver has no event character. What it stands for, a reply handed over as soon as
    // its CR arrives instead of after the chip's 16 ms latency timer, is low latency.
    serial_struct serial {};
    if (ioctl(board->fd, TIOCGSERIAL, &serial) != 0) {
        // Not a serial port (a pseudo-terminal): bytes are passed on at once anyway.
        return errno == EIO ? FT_IO_ERROR : FT_OK;
    }
    bool lowLatency = (serial.flags & ASYNC_LOW_LATENCY) != 0;
    if (!lowLatency) {
        serial.flags |= ASYNC_LOW_LATENCY;
        lowLatency = ioctl(board->fd, TIOCSSERIAL, &serial) == 0;
    }
    const bool timerSet = setLatencyTimer(board->fd);
    return lowLatency || timerSet ? FT_OK : FT_OTHER_ERROR;
}

FT_STATUS TtyDriver::FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) {
    OpenBoard* board = find(handle);
    if (board == nullptr) return FT_INVALID_HANDLE;
    constexpr uint32_t longest = 0x7FFFFFFF;
    board->readTimeoutMilliseconds = static_cast<int>(readTimeout < longest ? readTimeout : longest);
    board->writeTimeoutMilliseconds = static_cast<int>(writeTimeout < longest ? writeTimeout : longest);
    return FT_OK;
}

FT_STATUS TtyDriver::FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) {
    OpenBoard* board = find(handle);
    if (board == nullptr) return FT_INVALID_HANDLE;
    int waiting = 0;
    // On a hung-up tty every ioctl fails with EIO: the board has gone.
    if (ioctl(board->fd, FIONREAD, &waiting) != 0) return FT_IO_ERROR;
    int unsent = 0;
    if (ioctl(board->fd, TIOCOUTQ, &unsent) != 0) unsent = 0;
    if (rxBytes != nullptr) *rxBytes = static_cast<uint32_t>(waiting);
    if (txBytes != nullptr) *txBytes = static_cast<uint32_t>(unsent);
    if (eventStatus != nullptr) *eventStatus = 0;
    return FT_OK;
}

FT_STATUS TtyDriver::FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) {
    OpenBoard* board = find(handle);
    if (board == nullptr) return FT_INVALID_HANDLE;
    if (bytesReturned == nullptr || (buffer == nullptr && bytesToRead > 0)) return FT_INVALID_PARAMETER;
    *bytesReturned = 0;
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    const int64_t deadline = nowMilliseconds() + board->readTimeoutMilliseconds;
    while (*bytesReturned < bytesToRead) {
        const ssize_t got = read(board->fd, bytes + *bytesReturned, bytesToRead - *bytesReturned);
        if (got > 0) {
            *bytesReturned += static_cast<uint32_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got == 0 || errno != EAGAIN) return FT_IO_ERROR;  // end of file: hung up
        bool hangUp = false;
        if (!waitReady(board->fd, POLLIN, deadline, hangUp)) {
            if (hangUp) return FT_IO_ERROR;
            break;  // time-out: what arrived so far, with FT_OK
        }
    }
    return FT_OK;
}

FT_STATUS TtyDriver::FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) {
    OpenBoard* board = find(handle);
    if (board == nullptr) return FT_INVALID_HANDLE;
    if (bytesWritten == nullptr || (buffer == nullptr && bytesToWrite > 0)) return FT_INVALID_PARAMETER;
    *bytesWritten = 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    const int64_t deadline = nowMilliseconds() + board->writeTimeoutMilliseconds;
    while (*bytesWritten < bytesToWrite) {
        const ssize_t put = write(board->fd, bytes + *bytesWritten, bytesToWrite - *bytesWritten);
        if (put > 0) {
            *bytesWritten += static_cast<uint32_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put == 0 || errno != EAGAIN) return FT_IO_ERROR;
        bool hangUp = false;
        if (!waitReady(board->fd, POLLOUT, deadline, hangUp)) {
            if (hangUp) return FT_IO_ERROR;
            break;
        }
    }
    return FT_OK;
}

FT_STATUS TtyDriver::FT_Close(FT_HANDLE handle) {
    OpenBoard* board = find(handle);
    if (board == nullptr) return FT_INVALID_HANDLE;
    close(board->fd);  // also releases the flock
    board->fd = -1;
    return FT_OK;
}

}  // namespace kt57
