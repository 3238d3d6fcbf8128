#include "tools/common/bounded_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kt57 {

FileReadResult readBoundedFile(const char* path, std::string& bytes, std::string& error) {
    bytes.clear();
    error.clear();
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return FileReadResult::CannotOpen;
    }
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (bytes.size() + got > maxToolInputBytes) {
            std::fclose(file);
            return FileReadResult::TooLarge;
        }
        bytes.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = std::strerror(readErrno);
        return FileReadResult::ReadFailed;
    }
    return FileReadResult::Read;
}

}  // namespace kt57
