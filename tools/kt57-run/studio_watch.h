// Tells when the files of a rehearsal change on the disk. A thread of its own looks at each
// file's size and time of last write every period: the same on every system, and cheap for a
// few small files, where the systems' change notices differ and miss an editor's save that
// replaces a file by renaming another over it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kt57 {

class FileWatch {
public:
    // onChange gets the names (as given) of the files that appeared, went or changed since the
    // last look; it runs on the watch's thread.
    FileWatch(std::vector<std::filesystem::path> files, std::chrono::milliseconds period,
              std::function<void(const std::vector<std::string>&)> onChange);
    ~FileWatch();  // stops the thread
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

private:
    struct Look {
        bool present = false;
        uintmax_t size = 0;
        std::filesystem::file_time_type written{};
        bool operator==(const Look&) const = default;
    };
    static Look lookAt(const std::filesystem::path& file);
    void watch();

    std::vector<std::filesystem::path> files_;
    std::vector<Look> looks_;
    std::chrono::milliseconds period_;
    std::function<void(const std::vector<std::string>&)> onChange_;
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace kt57
