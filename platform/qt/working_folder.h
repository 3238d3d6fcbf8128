// Where kt57d works. Without an argument that is its working directory, as on Windows; a desktop
// launcher starts it in the home folder and passes the file it was opened with, so it also takes
// a folder or the path of a KT57Data.txt.
#pragma once
#include <string>

namespace kt57 {

struct WorkingFolder {
    std::string directory;  // holds KT57Data.txt and KT57Mode.txt; empty when error is set
    std::string error;      // one line, for the user
};

// arguments: the command line without the program name and without Qt's own options.
WorkingFolder workingFolderFrom(int count, const char* const* arguments);

}  // namespace kt57
