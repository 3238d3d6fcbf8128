// A folder of one's own under the system's temporary folder, removed with everything in it when it
// goes. Rehearsals run in one: a program that ends writes its mode file back, and neither the
// user's folder nor the next rehearsal may see that.
#pragma once
#include <string>

namespace kt57 {

class ScratchFolder {
public:
    // prefix names the folder, as "kt57-timeline"; on failure path() is empty and error() says why.
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    std::string path_;
    std::string error_;
};

}  // namespace kt57
