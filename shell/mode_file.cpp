// KT57Mode.txt. Reading follows the same text-mode rules as the program file on every platform;
// writing goes to a new file that then replaces the old one, so a failed write loses nothing.
#include "shell/mode_file.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "device/board_protocol.h"
#include "sequencer/text_mode_reader.h"

#ifndef KT57_MODE_FILE_CRLF
#define KT57_MODE_FILE_CRLF 0
#endif

namespace kt57 {
namespace {

// Two pieces of at most 99 characters each take at most 100 raw bytes (a CR LF), plus the byte
// looked at after a final CR: reading more of a longer file cannot change what is read.
constexpr size_t modeFileBytes = 2 * (maxPieceCharacters + 1) + 1;
constexpr const char* newLine = KT57_MODE_FILE_CRLF ? "\r\n" : "\n";

std::filesystem::path modeFilePath(const char* directory) {
    return std::filesystem::path(directory != nullptr ? directory : ".") / modeFileName;
}

size_t boundedLength(const char* text, size_t capacity) {
    const void* end = std::memchr(text, 0, capacity);
    return end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - text) : capacity;
}

}  // namespace

void readModeFile(const char* directory, FileService& files, RunControl& run, ConsoleState& console,
                  ShellState& shell, DeviceLink& link) {
    char bytes[modeFileBytes];
    size_t size = 0;
    if (!files.readStart(modeFilePath(directory).string().c_str(), bytes, sizeof bytes, size)) return;

    TextModeReader reader{bytes, size, 0};
    char line[maxPieceCharacters + 1];
    if (readPiece(reader, line) == 0) return;
    if (line[0] == 'A' || line[0] == 'M' || line[0] == 'S') run.runMode = static_cast<RunMode>(line[0]);
    run.savedMode = run.runMode;  // any other letter is saved back as 'A'
    if (line[1] == 'D') console.detailView = 1;
    shell.savedDetail = console.detailView;
    if (readPiece(reader, line) == 0) return;
    // The line's first eight characters, each a serial number's: what follows them is ignored.
    if (isSerialNumber(line, serialNumberLength)) {
        std::memcpy(link.serialNumber, line, serialNumberLength);
        link.serialNumber[serialNumberLength] = '\0';
    }
}

void writeModeFile(const char* directory, FileService& files, const RunControl& run, const ShellState& shell,
                   const DeviceLink& link, RunObserver& observer) {
    if (link.linkState != LinkState::Open) return;

    char content[128 + sizeof link.serialNumber + 4];
    int used = std::snprintf(content, 128, (run.savedMode != RunMode::Step && shell.savedDetail == 1) ? "%cD%s" : "%c%s",
                             static_cast<char>(run.savedMode), newLine);
    if (used < 0) return;
    const size_t serialLength = boundedLength(link.serialNumber, sizeof link.serialNumber);
    std::memcpy(content + used, link.serialNumber, serialLength);
    used += static_cast<int>(serialLength);
    const size_t newLineLength = std::strlen(newLine);
    std::memcpy(content + used, newLine, newLineLength);
    used += static_cast<int>(newLineLength);

    const std::filesystem::path target = modeFilePath(directory);
    std::filesystem::path fresh = target;
    fresh += ".new";
    std::FILE* file = std::fopen(fresh.string().c_str(), "wb");
    if (file == nullptr) return;
    const size_t written = std::fwrite(content, 1, static_cast<size_t>(used), file);
    // On the disk before the rename: else a power loss could leave the new name with no bytes.
    const bool flushed = std::fflush(file) == 0 && files.syncToDisk(file);
    const bool closed = std::fclose(file) == 0;
    std::error_code error;
    if (written != static_cast<size_t>(used) || !flushed || !closed) {
        std::filesystem::remove(fresh, error);
        return;
    }
    if (!files.replace(fresh.string().c_str(), target.string().c_str())) {
        std::filesystem::remove(fresh, error);
        return;
    }
    observer.modeFileWritten(content, static_cast<size_t>(used));
}

}  // namespace kt57
