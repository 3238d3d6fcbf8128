#include "common/program_folder.h"

#include <filesystem>
#include <system_error>

#include "sequencer/loader.h"

namespace kt57 {

namespace fs = std::filesystem;

ProgramFolder programFolderOf(const std::string& path) {
    std::error_code error;
    const fs::path named(path);
    const fs::file_status status = fs::status(named, error);
    if (fs::is_directory(status)) return {path, ""};
    // The sequencer reads the program by its fixed name, so another file cannot be what runs.
    if (fs::is_regular_file(status) && named.filename() == programFileName) {
        const fs::path parent = named.parent_path();
        return {parent.empty() ? "." : parent.string(), ""};
    }
    if (fs::exists(status)) return {"", path + ": not a folder or a " + programFileName};
    return {"", path + ": no such folder or file"};
}

}  // namespace kt57
