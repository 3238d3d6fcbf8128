// The file service: how the core reads KT57Data.txt and KT57Mode.txt and replaces KT57Mode.txt.
// Only the platform can open a file without waiting on a FIFO's writer, or make a rename survive
// a power loss, so a shell supplies one; StandardFiles stands in where none is needed.
#pragma once
#include <cstddef>
#include <cstdio>

namespace kt57 {

class FileService {
public:
    virtual ~FileService() = default;
    // Up to capacity bytes from the start of the regular file at path. False, reading nothing,
    // when there is none: a FIFO or a device counts as none, since reading it could block forever.
    virtual bool readStart(const char* path, char* buffer, size_t capacity, size_t& size) = 0;
    // Puts the written and fflush-ed file on the disk, before it replaces another. False on failure.
    virtual bool syncToDisk(std::FILE* file) = 0;
    // Renames fresh to target, replacing it in one step, and records the rename on the disk.
    // False when target is unchanged.
    virtual bool replace(const char* fresh, const char* target) = 0;
};

// The standard library alone: no FIFO check, and nothing forced to the disk.
class StandardFiles : public FileService {
public:
    bool readStart(const char* path, char* buffer, size_t capacity, size_t& size) override;
    bool syncToDisk(std::FILE* file) override;
    bool replace(const char* fresh, const char* target) override;
};

// One StandardFiles for every application whose shell gives no file service; it keeps no state.
FileService& standardFiles();

}  // namespace kt57
