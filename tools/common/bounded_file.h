// Reading a whole input file for the tools, refusing files too large to be what they claim.
#pragma once
#include <cstddef>
#include <string>

namespace kt57 {

// Program and events files are a few kilobytes; anything past this (or an endless file such as
// /dev/zero) is refused instead of being read into memory to the end.
constexpr size_t maxToolInputBytes = size_t{16} << 20;

enum class FileReadResult { Read, CannotOpen, TooLarge, ReadFailed };

// Reads the file whole into bytes with stdio, so a folder or a failing device gives a result, not
// an exception. On failure, error holds the reason (strerror text, or empty for TooLarge).
FileReadResult readBoundedFile(const char* path, std::string& bytes, std::string& error);

}  // namespace kt57
