#include "timeline/rehearsal_inputs.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "sequencer/loader.h"
#include "shell/mode_file.h"

namespace kt57 {

namespace {

bool writeOrRemove(const std::filesystem::path& path, const RehearsalFile& file, std::string& error) {
    std::error_code removed;
    std::filesystem::remove(path, removed);
    if (!file.present) return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
    out.close();
    if (!out) {
        error = path.string() + ": cannot be written";
        return false;
    }
    return true;
}

}  // namespace

bool writeRehearsalFolder(const RehearsalInputs& inputs, const std::string& directory, std::string& error) {
    const std::filesystem::path folder(directory);
    return writeOrRemove(folder / programFileName, inputs.program, error) &&
           writeOrRemove(folder / modeFileName, inputs.mode, error);
}

}  // namespace kt57
