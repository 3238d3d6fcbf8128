// Reading a whole input file for the tools, refusing files too large to be what they claim.
#pragma once
#include <cstddef>
#include <string>

namespace kt57 {

// Program and events files are a few kilobytes; anything past this (or an endless file such as
// /dev/zero) is refused instead of being read into memory to the end.
constexpr size_t maxToolInputBytes = size_t{16} << 20;

enum class FileReadResult { Read, CannotOpen, NotRegular, TooLarge, ReadFailed };

// Reads the regular file whole into bytes. A FIFO, a device or a folder is refused at once, never
// waited on. On failure, error holds the reason (strerror text, "not a regular file (a FIFO)", or
// empty for TooLarge).
FileReadResult readBoundedFile(const char* path, std::string& bytes, std::string& error);

// False, with the reason in error, when path names something other than a regular file; a
// missing path is no such thing. For files a tool leaves to the core to read.
bool absentOrRegular(const char* path, std::string& error);

}  // namespace kt57
