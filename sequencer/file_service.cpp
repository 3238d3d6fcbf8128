#include "sequencer/file_service.h"

#include <filesystem>
#include <system_error>

namespace kt57 {

bool StandardFiles::readStart(const char* path, char* buffer, size_t capacity, size_t& size) {
    size = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    size = std::fread(buffer, 1, capacity, file);
    std::fclose(file);
    return true;
}

FileService& standardFiles() {
    static StandardFiles files;
    return files;
}

bool StandardFiles::syncToDisk(std::FILE*) { return true; }

bool StandardFiles::replace(const char* fresh, const char* target) {
    std::error_code error;
    std::filesystem::rename(fresh, target, error);
    return !error;
}

}  // namespace kt57
