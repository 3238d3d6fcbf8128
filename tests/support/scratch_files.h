// A private folder under /tmp for one test, removed with everything in it afterwards, and the
// small file helpers the reliability tests share.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kt57::testing {

class ScratchDirectory {
public:
    ScratchDirectory() {
        char pattern[] = "/tmp/kt57-reliability-XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        path_ = pattern;
    }
    ~ScratchDirectory() {
        std::error_code error;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(path_, error);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace kt57::testing
