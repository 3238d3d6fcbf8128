#include "timeline/scratch_folder.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace kt57 {

ScratchFolder::ScratchFolder(const std::string& prefix) {
    std::error_code code;
    const std::filesystem::path base = std::filesystem::temp_directory_path(code);
    if (code) {
        error_ = "no folder for temporary files: " + code.message();
        return;
    }
    // create_directory fails on a name already taken, so no two folders are ever shared.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / (prefix + "-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, code)) {
            path_ = candidate.string();
            return;
        }
    }
    error_ = "cannot make a scratch folder in " + base.string() + (code ? ": " + code.message() : "");
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace kt57
