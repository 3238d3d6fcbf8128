// kt57d's one optional argument: the folder to work in, from a folder or a KT57Data.txt.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/qt/working_folder.h"
#include "tests/support/scratch_files.h"

namespace kt57 {
namespace {

namespace fs = std::filesystem;

TEST(WorkingFolder, FromTheCommandLine) {
    const support::ScratchDirectory scratch("kt57-folder-test");
    const fs::path root = scratch.path();
    fs::create_directories(root / "demo");
    support::writeFile(scratch.file("demo/KT57Data.txt"), "JMP 1\n");
    support::writeFile(scratch.file("demo/notes.txt"), "\n");
    const std::string demo = (root / "demo").string();
    const std::string program = (root / "demo" / "KT57Data.txt").string();

    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string directory;  // empty: an error is expected
        std::string errorHas;
    } cases[] = {
        {"none: the working directory", {}, ".", ""},
        {"a folder", {demo}, demo, ""},
        {"a KT57Data.txt: its folder", {program}, demo, ""},
        {"a missing folder", {(root / "missing").string()}, "", "missing: no such folder or file"},
        {"another file, which would not be what runs", {(root / "demo" / "notes.txt").string()}, "",
         "notes.txt: not a folder or a KT57Data.txt"},
        {"not a file or a folder", {"/dev/null"}, "", "/dev/null: not a folder or a KT57Data.txt"},
        {"an option", {"--frobnicate"}, "", "unknown option '--frobnicate'"},
        {"two arguments", {demo, demo}, "", "at most"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<const char*> arguments;
        for (const std::string& argument : c.arguments) arguments.push_back(argument.c_str());
        const WorkingFolder folder = workingFolderFrom(static_cast<int>(arguments.size()), arguments.data());
        EXPECT_EQ(folder.directory, c.directory);
        if (c.directory.empty()) {
            EXPECT_NE(folder.error.find(c.errorHas), std::string::npos) << folder.error;
            EXPECT_EQ(folder.error.find('\n'), std::string::npos) << "one line";
        } else {
            EXPECT_EQ(folder.error, "");
        }
    }

    // The path of the file opened in the working directory has no folder part.
    const fs::path previous = fs::current_path();
    fs::current_path(root / "demo");
    const char* bare[] = {"KT57Data.txt"};
    EXPECT_EQ(workingFolderFrom(1, bare).directory, ".");
    fs::current_path(previous);
}

}  // namespace
}  // namespace kt57
