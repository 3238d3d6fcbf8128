// Files on POSIX: opened without blocking and refused unless regular, and replaced durably.
#pragma once
#include <sys/types.h>

#include <cstddef>

#include "sequencer/file_service.h"

namespace kt57 {

constexpr int notRegularFile = -2;

// Opens path for reading. O_NONBLOCK keeps the open from waiting for a FIFO's writer; then
// anything but a regular file is refused, as reading a FIFO or a device may block or never end.
// Returns the descriptor; else -1 (cannot open) or notRegularFile, with why set to a short reason
// such as "not a regular file (a FIFO)".
int openRegularFile(const char* path, const char*& why);

// Reads until capacity bytes or the end of the file; the count, or -1 with errno set.
ssize_t readUpTo(int descriptor, char* buffer, size_t capacity);

// kt57d's and kt57-run's files on Linux.
class PosixFiles : public FileService {
public:
    bool readStart(const char* path, char* buffer, size_t capacity, size_t& size) override;
    // fsync of the file.
    bool syncToDisk(std::FILE* file) override;
    // rename, then fsync of the folder that holds the name.
    bool replace(const char* fresh, const char* target) override;
};

}  // namespace kt57
