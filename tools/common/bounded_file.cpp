#include "tools/common/bounded_file.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>

#include "platform/posix/posix_files.h"
#endif

namespace kt57 {
namespace {

#ifdef _WIN32
// Windows has no FIFO to wait on at an open, but NUL and CON name devices in every folder, and
// reading CON would wait for the keyboard: the open is checked as on POSIX.
constexpr int notRegularFile = -2;

int openRegularFile(const char* path, const char*& why) {
    const int descriptor = _open(path, _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        why = std::strerror(errno);
        return -1;
    }
    struct _stat64 info {};
    if (_fstat64(descriptor, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        why = (info.st_mode & _S_IFMT) == _S_IFCHR ? "not a regular file (a character device)" : "not a regular file";
        _close(descriptor);
        return notRegularFile;
    }
    return descriptor;
}

long long readUpTo(int descriptor, char* buffer, size_t capacity) {
    size_t total = 0;
    while (total < capacity) {
        const int got = _read(descriptor, buffer + total, static_cast<unsigned>(capacity - total));
        if (got == 0) break;
        if (got < 0) return -1;
        total += static_cast<size_t>(got);
    }
    return static_cast<long long>(total);
}

void close(int descriptor) { _close(descriptor); }
#endif

FileReadResult openForReading(const char* path, int& descriptor, std::string& error) {
    const char* why = nullptr;
    descriptor = openRegularFile(path, why);
    if (descriptor >= 0) return FileReadResult::Read;
    error = why;
    return descriptor == notRegularFile ? FileReadResult::NotRegular : FileReadResult::CannotOpen;
}

}  // namespace

FileReadResult readBoundedFile(const char* path, std::string& bytes, std::string& error) {
    bytes.clear();
    error.clear();
    int descriptor = -1;
    const FileReadResult opened = openForReading(path, descriptor, error);
    if (opened != FileReadResult::Read) return opened;
    char buffer[65536];
    for (;;) {
        const auto got = readUpTo(descriptor, buffer, sizeof buffer);
        if (got < 0) {
            error = std::strerror(errno);
            close(descriptor);
            return FileReadResult::ReadFailed;
        }
        if (bytes.size() + static_cast<size_t>(got) > maxToolInputBytes) {
            close(descriptor);
            return FileReadResult::TooLarge;
        }
        bytes.append(buffer, static_cast<size_t>(got));
        if (static_cast<size_t>(got) < sizeof buffer) break;
    }
    close(descriptor);
    return FileReadResult::Read;
}

bool absentOrRegular(const char* path, std::string& error) {
    int descriptor = -1;
    const FileReadResult opened = openForReading(path, descriptor, error);
    if (descriptor >= 0) close(descriptor);
    return opened != FileReadResult::NotRegular;
}

}  // namespace kt57
