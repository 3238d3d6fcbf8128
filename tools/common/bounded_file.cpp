#include "tools/common/bounded_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/posix_files.h"

namespace kt57 {
namespace {

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
        const ssize_t got = readUpTo(descriptor, buffer, sizeof buffer);
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
