#include "platform/linux/board_locations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace kt57 {

bool registryDirectoryFromEnvironment(char* directory, size_t capacity) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    int written = 0;
    if (runtime != nullptr && runtime[0] == '/') {
        written = std::snprintf(directory, capacity, "%s/kt57d/boards", runtime);
    } else {
        // Without a runtime directory, a per-user folder in /tmp still keeps users apart.
        written = std::snprintf(directory, capacity, "/tmp/kt57d-%lu/boards", static_cast<unsigned long>(getuid()));
    }
    if (written < 0 || static_cast<size_t>(written) >= capacity) {
        if (capacity > 0) directory[0] = '\0';
        return false;
    }
    return true;
}

BoardLocations defaultBoardLocations() {
    BoardLocations locations;
    registryDirectoryFromEnvironment(locations.registryDirectory, sizeof locations.registryDirectory);
    return locations;
}

bool createRegistryDirectory(const char* directory) {
    char path[boardPathCapacity];
    const size_t length = std::strlen(directory);
    if (length == 0 || length >= sizeof path) return false;
    std::memcpy(path, directory, length + 1);
    for (size_t i = 1; i <= length; ++i) {
        if (path[i] != '/' && path[i] != '\0') continue;
        const char saved = path[i];
        path[i] = '\0';
        if (mkdir(path, 0700) != 0 && errno != EEXIST) return false;
        path[i] = saved;
    }
    return isPrivateDirectory(directory);
}

bool isPrivateDirectory(const char* directory) {
    char parent[boardPathCapacity];
    const int written = std::snprintf(parent, sizeof parent, "%s/..", directory);
    if (written <= 0 || static_cast<size_t>(written) >= sizeof parent) return false;
    for (const char* path : {directory, static_cast<const char*>(parent)}) {
        struct stat info {};
        if (stat(path, &info) != 0 || !S_ISDIR(info.st_mode)) return false;
        if (info.st_uid != getuid() && info.st_uid != 0) return false;
        if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return false;
    }
    return true;
}

}  // namespace kt57
