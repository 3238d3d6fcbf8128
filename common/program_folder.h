// The folder a program works in, from the one path its command line names. A desktop launcher
// passes the file it was opened with, and a user copies the path of the program file as often as
// its folder's, so the path of a KT57Data.txt stands for the folder that holds it.
#pragma once
#include <string>

namespace kt57 {

struct ProgramFolder {
    std::string directory;  // holds KT57Data.txt and KT57Mode.txt; empty when error is set
    std::string error;      // one line, for the user: "PATH: no such folder or file"
};

ProgramFolder programFolderOf(const std::string& path);

}  // namespace kt57
