#include "sequencer/loader.h"

#include <cstdio>
#include <cstring>

#include "device/hex.h"
#include "sequencer/line_parser.h"
#include "sequencer/opcode.h"
#include "sequencer/text_mode_reader.h"

namespace kt57 {

namespace {

void resolve(ProgramStore& store) {
    for (int32_t i = 0; i < store.lineCount; ++i) {
        ProgramLine& line = store.lines[i];
        const OpCodeInfo* info = findOpCodeInfo(line.opcode);
        const int column = info != nullptr ? info->argumentColumn : 4;
        if (line.target == 0) {
            line.target = findLabel(store, &line.text[column]);
        }
        if (line.target == i) {
            line.target = store.lineCount;  // a jump to itself could only spin: it ends the program
        }
        if (line.operand == 0) {
            line.operand = parseHex(6, &line.text[column]);
        }
    }
}

// "<directory>/KT57Data.txt", or false when it does not fit.
bool programPath(const char* directory, char (&path)[4096]) {
    if (directory == nullptr || directory[0] == '\0') {
        return std::snprintf(path, sizeof path, "%s", programFileName) < static_cast<int>(sizeof path);
    }
    const size_t length = std::strlen(directory);
    const char last = directory[length - 1];
    const char* separator = (last == '/' || last == '\\') ? "" : "/";
    const int written = std::snprintf(path, sizeof path, "%s%s%s", directory, separator, programFileName);
    return written >= 0 && written < static_cast<int>(sizeof path);
}

}  // namespace

void loadProgramBytes(ProgramStore& store, const char* bytes, size_t size) {
    store = ProgramStore{};
    TextModeReader reader{bytes, size, 0};
    char piece[maxPieceCharacters + 1];
    int32_t count = 0;
    while (count < maxProgramLines) {
        ProgramLine& line = store.lines[count];
        line.target = -1;
        line.operand = -1;
        const int length = readPiece(reader, piece);
        if (length == 0) {
            break;
        }
        parseProgramLine(piece, length, line);
        ++count;
    }
    store.lineCount = count;
    resolve(store);
}

void loadProgram(ProgramStore& store, const char* directory, FileService& files) {
    store = ProgramStore{};
    char path[4096];
    if (!programPath(directory, path)) {
        return;
    }
    // Only the first bytes can matter (see maxProgramFileBytes); a fixed buffer holds them.
    char bytes[maxProgramFileBytes];
    size_t size = 0;
    if (!files.readStart(path, bytes, sizeof bytes, size)) {
        return;
    }
    loadProgramBytes(store, bytes, size);
}

int32_t findLabel(const ProgramStore& store, const char* s) {
    int32_t label = 0;
    for (int digits = 0; digits < 3 && s[digits] >= '0' && s[digits] <= '9'; ++digits) {
        label = label * 10 + (s[digits] - '0');
    }
    if (label == 0) {
        return store.lineCount;
    }
    for (int32_t i = 0; i < store.lineCount; ++i) {
        if (store.lines[i].label == label) {
            return i;
        }
    }
    return store.lineCount;
}

}  // namespace kt57
