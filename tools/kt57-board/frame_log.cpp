#include "tools/kt57-board/frame_log.h"

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

void formatBoardNote(const char* text, int64_t elapsedMilliseconds, char* line, size_t capacity) {
    std::snprintf(line, capacity, "%4lld.%03lld  %s", static_cast<long long>(elapsedMilliseconds / 1000),
                  static_cast<long long>(elapsedMilliseconds % 1000), text);
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
