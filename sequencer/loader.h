// Reading KT57Data.txt into the program store.
#pragma once
#include <cstddef>
#include <cstdint>

#include "sequencer/file_service.h"
#include "sequencer/program_store.h"

namespace kt57 {

constexpr const char* programFileName = "KT57Data.txt";

// Reads <directory>/KT57Data.txt into a zeroed store and resolves it. A missing file leaves lineCount 0.
void loadProgram(ProgramStore& store, const char* directory, FileService& files);

// The same, from the file's bytes already in memory (text-mode rules applied here).
void loadProgramBytes(ProgramStore& store, const char* bytes, size_t size);

// Index of the first line bearing the label written at s (up to 3 digits), or lineCount.
int32_t findLabel(const ProgramStore& store, const char* s);

}  // namespace kt57
