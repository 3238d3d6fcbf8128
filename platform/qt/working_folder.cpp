#include "platform/qt/working_folder.h"

#include "common/program_folder.h"

namespace kt57 {

WorkingFolder workingFolderFrom(int count, const char* const* arguments) {
    if (count == 0) return {".", ""};
    if (count > 1) return {"", "one folder or KT57Data.txt at most"};
    const std::string argument = arguments[0];
    if (argument.size() > 1 && argument[0] == '-') return {"", "unknown option '" + argument + "'"};
    const ProgramFolder folder = programFolderOf(argument);
    return {folder.directory, folder.error};
}

}  // namespace kt57
