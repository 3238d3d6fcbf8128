#include "tools/kt57-run/studio_watch.h"

#include <system_error>
#include <utility>

namespace kt57 {

FileWatch::FileWatch(std::vector<std::filesystem::path> files, std::chrono::milliseconds period,
                     std::function<void(const std::vector<std::string>&)> onChange)
    : files_(std::move(files)), period_(period), onChange_(std::move(onChange)) {
    for (const auto& file : files_) looks_.push_back(lookAt(file));
    thread_ = std::thread([this] { watch(); });
}

FileWatch::~FileWatch() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    thread_.join();
}

FileWatch::Look FileWatch::lookAt(const std::filesystem::path& file) {
    std::error_code error;
    Look look;
    look.written = std::filesystem::last_write_time(file, error);
    if (error) return {};
    look.size = std::filesystem::file_size(file, error);
    look.present = !error;
    return look;
}

void FileWatch::watch() {
    std::unique_lock lock(mutex_);
    while (!stop_.wait_for(lock, period_, [this] { return stopping_; })) {
        std::vector<std::string> changed;
        for (size_t i = 0; i < files_.size(); ++i) {
            const Look look = lookAt(files_[i]);
            if (look == looks_[i]) continue;
            looks_[i] = look;
            changed.push_back(files_[i].string());
        }
        if (changed.empty()) continue;
        lock.unlock();
        onChange_(changed);
        lock.lock();
    }
}

}  // namespace kt57
