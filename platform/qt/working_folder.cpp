#include "platform/qt/working_folder.h"

#include <filesystem>
#include <system_error>

namespace kt57 {

namespace fs = std::filesystem;

WorkingFolder workingFolderFrom(int count, const char* const* arguments) {
    if (count == 0) return {".", ""};
    if (count > 1) return {"", "one folder or KT57Data.txt at most"};
    const std::string argument = arguments[0];
    if (argument.size() > 1 && argument[0] == '-') return {"", "unknown option '" + argument + "'"};

    std::error_code error;
    const fs::path path(argument);
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) return {argument, ""};
    if (fs::is_regular_file(status)) {
        // The sequencer reads the program by its fixed name, so another file cannot be what runs.
        if (path.filename() != "KT57Data.txt") return {"", argument + ": not a folder or a KT57Data.txt"};
        const fs::path parent = path.parent_path();
        return {parent.empty() ? "." : parent.string(), ""};
    }
    if (fs::exists(status)) return {"", argument + ": not a folder or a KT57Data.txt"};
    return {"", argument + ": no such folder or file"};
}

}  // namespace kt57
