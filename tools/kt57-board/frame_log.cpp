#include "tools/kt57-board/frame_log.h"

#include <cstdio>

#include "platform/linux/board_control.h"

namespace kt57 {

namespace {

const char* eventName(BoardEventKind kind) {
    switch (kind) {
    case BoardEventKind::Command: return "command";
    case BoardEventKind::Discarded: return "discarded";
    case BoardEventKind::Silent: return "no reply";
    case BoardEventKind::Reply: return "reply";
    case BoardEventKind::Injected: return "injected";
    case BoardEventKind::Plugged: return "plugged";
    case BoardEventKind::Unplugged: return "unplugged";
    }
    return "?";
}

}  // namespace

void formatBoardEvent(const BoardEvent& event, int64_t startMilliseconds, const char* devicePath, char* line,
                      size_t capacity) {
    char bytes[1024];
    formatEscapedBytes(event.bytes, event.size, bytes, sizeof bytes);
    const char* detail = event.kind == BoardEventKind::Plugged ? devicePath : bytes;
    const int64_t elapsed = event.timeMilliseconds - startMilliseconds;
    if (detail[0] == '\0') {
        std::snprintf(line, capacity, "%4lld.%03lld  %s", static_cast<long long>(elapsed / 1000),
                      static_cast<long long>(elapsed % 1000), eventName(event.kind));
        return;
    }
    std::snprintf(line, capacity, "%4lld.%03lld  %-9s  %s", static_cast<long long>(elapsed / 1000),
                  static_cast<long long>(elapsed % 1000), eventName(event.kind), detail);
}

}  // namespace kt57
