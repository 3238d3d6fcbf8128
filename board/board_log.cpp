#include "board/board_log.h"

#include <cstdio>

#include "device/byte_escapes.h"
#include "device/hex.h"

namespace kt57 {

namespace {

const char* eventName(BoardEventKind kind) {
    switch (kind) {
    case BoardEventKind::Command: return "command";
    case BoardEventKind::Silent: return "no reply";
    case BoardEventKind::ReplyDelivered: return "reply";
    case BoardEventKind::Injected: return "injected";
    case BoardEventKind::Plugged: return "plugged";
    case BoardEventKind::Unplugged: return "unplugged";
    case BoardEventKind::Inputs: return "inputs";
    case BoardEventKind::ReplyQueued:
    case BoardEventKind::Outputs: break;
    }
    return nullptr;
}

}  // namespace

void formatElapsedSeconds(int64_t elapsed, int64_t unitsPerSecond, int width, char* text, size_t capacity) {
    // Bounded, so that the stamp always fits the few characters its callers keep for it.
    unsigned decimals = 0;
    for (int64_t units = unitsPerSecond; units > 1 && decimals < 9; units /= 10) ++decimals;
    const unsigned padding = width < 0 ? 0 : width > 12 ? 12 : static_cast<unsigned>(width);
    std::snprintf(text, capacity, "%*lld.%0*lld", static_cast<int>(padding),
                  static_cast<long long>(elapsed / unitsPerSecond), static_cast<int>(decimals),
                  static_cast<long long>(elapsed % unitsPerSecond));
}

void formatBoardNote(const char* text, int64_t elapsedMilliseconds, char* line, size_t capacity) {
    char stamp[32];
    formatElapsedSeconds(elapsedMilliseconds, 1000, 4, stamp, sizeof stamp);
    std::snprintf(line, capacity, "%s  %s", stamp, text);
}

bool formatBoardEvent(const BoardEvent& event, int64_t startMilliseconds, const char* devicePath, char* line,
                      size_t capacity) {
    const char* name = eventName(event.kind);
    if (name == nullptr) return false;
    char detail[1024];
    if (event.kind == BoardEventKind::Plugged) {
        std::snprintf(detail, sizeof detail, "%s", devicePath);
    } else if (event.kind == BoardEventKind::Inputs) {
        writeHexDigits(event.value, 6, upperHexDigits, detail);
        detail[6] = '\0';
    } else {
        formatEscapedBytes(event.bytes, event.size, detail, sizeof detail);
    }
    char text[1100];
    if (detail[0] == '\0') {
        std::snprintf(text, sizeof text, "%s", name);
    } else {
        std::snprintf(text, sizeof text, "%-9s  %s", name, detail);
    }
    formatBoardNote(text, event.timeMilliseconds - startMilliseconds, line, capacity);
    return true;
}

}  // namespace kt57
