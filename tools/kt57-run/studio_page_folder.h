// Where the rehearsal page's files are: plain HTML, CSS and JavaScript, installed beside the
// program and found from the program's own path, so that no setting names them.
#pragma once
#include <filesystem>
#include <vector>

namespace kt57 {

// Where to look, in order: studio/ beside the executable (Windows: the install folder and the
// zip; a build folder, where it links to the source tree's), and ../share/kt57d/studio from its
// folder (Linux: /usr/bin and /usr/share).
std::vector<std::filesystem::path> pageFolderCandidates();

// The first candidate that holds index.html; empty when none does.
std::filesystem::path findPageFolder();

}  // namespace kt57
