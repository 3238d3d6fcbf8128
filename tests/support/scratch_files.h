// Scratch folders and whole-file reads and writes for the tests, fuzzers and benchmarks.
#pragma once
#include <string>

namespace kt57::support {

// A private folder under /tmp, removed with everything in it (even read-only parts) at the end.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& prefix = "kt57-test");
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The exact bytes, replacing the file; false when the file cannot be written in full.
bool writeFile(const std::string& path, const std::string& bytes);
// The whole file; empty when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace kt57::support
