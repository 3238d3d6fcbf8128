#include "tools/kt57-run/studio_page_folder.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <string>
#endif

namespace kt57 {
namespace {

namespace fs = std::filesystem;

fs::path executablePath() {
#ifdef _WIN32
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return fs::path(path);
        }
        path.resize(path.size() * 2);
    }
#else
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error);
#endif
}

}  // namespace

std::vector<fs::path> pageFolderCandidates() {
    std::vector<fs::path> candidates;
    const fs::path folder = executablePath().parent_path();
    if (!folder.empty()) {
        candidates.push_back(folder / "studio");
        candidates.push_back(folder.parent_path() / "share" / "kt57d" / "studio");
    }
    return candidates;
}

fs::path findPageFolder() {
    for (const fs::path& candidate : pageFolderCandidates()) {
        std::error_code error;
        if (fs::is_regular_file(candidate / "index.html", error)) return candidate;
    }
    return {};
}

}  // namespace kt57
