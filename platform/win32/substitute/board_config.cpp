#include "platform/win32/substitute/board_config.h"

#include <cstdio>
#include <cstring>

#include "board/apply_board_control.h"
#include "device/board_protocol.h"

namespace kt57 {
namespace {

constexpr size_t maximumLine = 200;
constexpr uint32_t maximumFileLatency = 10000;  // what a "latency = N" line has always allowed

struct Span {
    const char* begin;
    const char* end;
    size_t size() const { return static_cast<size_t>(end - begin); }
    bool equals(const char* word) const { return size() == std::strlen(word) && std::memcmp(begin, word, size()) == 0; }
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

Span trim(Span span) {
    while (span.begin < span.end && isBlank(*span.begin)) ++span.begin;
    while (span.end > span.begin && isBlank(span.end[-1])) --span.end;
    return span;
}

enum class LegacyValue : uint8_t { Word, PaddedInputs, FileLatency, Switch };

// A "key = value" line and the control line it stands for.
struct LegacyKey {
    const char* key;
    LegacyValue value;
    const char* control;     // followed by the value; for a switch, the control when it is 1
    const char* offControl;  // a switch's control when it is 0
    const char* expected;
};

constexpr LegacyKey legacyKeys[] = {
    {"serial", LegacyValue::Word, "serial", nullptr, serialNumberRule},
    {"inputs", LegacyValue::PaddedInputs, "input", nullptr, "1 to 6 hexadecimal digits"},
    {"latency", LegacyValue::FileLatency, "latency", nullptr, "milliseconds from 0 to 10000"},
    {"muted", LegacyValue::Switch, "mute", "unmute", "0 or 1"},
    {"unplugged", LegacyValue::Switch, "unplug", "plug", "0 or 1"},
    {"openFails", LegacyValue::Switch, "fail open", "heal open", "0 or 1"},
    {"writeFails", LegacyValue::Switch, "fail write", "heal write", "0 or 1"},
    {"statusFails", LegacyValue::Switch, "fail status", "heal status", "0 or 1"},
    {"readFails", LegacyValue::Switch, "fail read", "heal read", "0 or 1"},
};

// Writes the control line for a "key = value" line into line; false, with the problem in message,
// when the value is not one the key ever took.
bool legacyControlLine(Span key, Span value, char* line, size_t lineSize, char* message, size_t messageSize) {
    const LegacyKey* found = nullptr;
    for (const LegacyKey& legacy : legacyKeys) {
        if (key.equals(legacy.key)) found = &legacy;
    }
    if (found == nullptr) {
        std::snprintf(message, messageSize, "unknown key '%.*s'", static_cast<int>(key.size() > 40 ? 40 : key.size()),
                      key.begin);
        return false;
    }
    const int valueSize = static_cast<int>(value.size());
    bool ok = true;
    switch (found->value) {
    case LegacyValue::Word:
        std::snprintf(line, lineSize, "%s %.*s", found->control, valueSize, value.begin);
        break;
    case LegacyValue::PaddedInputs:
        ok = value.size() >= 1 && value.size() <= 6;
        std::snprintf(line, lineSize, "%s %.*s%.*s", found->control, 6 - (ok ? valueSize : 6), "000000", valueSize,
                      value.begin);
        break;
    case LegacyValue::FileLatency:
        ok = value.size() >= 1 && value.size() <= 6;
        std::snprintf(line, lineSize, "%s %.*s", found->control, valueSize, value.begin);
        break;
    case LegacyValue::Switch:
        ok = value.equals("0") || value.equals("1");
        std::snprintf(line, lineSize, "%s", value.equals("1") ? found->control : found->offControl);
        break;
    }
    BoardControl control;
    if (ok) control = parseBoardControl(line, BoardControlFace::Config);
    ok = ok && control.kind != BoardControlKind::Invalid;
    if (ok && found->value == LegacyValue::FileLatency) ok = control.latencyMilliseconds <= maximumFileLatency;
    if (!ok) {
        std::snprintf(message, messageSize, "%.*s: '%.*s' is not %s", static_cast<int>(key.size()), key.begin,
                      valueSize > 40 ? 40 : valueSize, value.begin, found->expected);
    }
    return ok;
}

// What one control line makes of the board the file describes.
void stage(const BoardControl& control, BoardConfig& config) {
    switch (control.kind) {
    case BoardControlKind::Input: config.inputs = control.inputs; break;
    case BoardControlKind::Latency: config.latencyMilliseconds = static_cast<int>(control.latencyMilliseconds); break;
    case BoardControlKind::Unplug: config.faults.unplugged = true; break;
    case BoardControlKind::Plug: config.faults.unplugged = false; break;
    case BoardControlKind::Mute: config.muted = true; break;
    case BoardControlKind::Unmute: config.muted = false; break;
    case BoardControlKind::Fail: config.faults.fails(control.call) = true; break;
    case BoardControlKind::Heal: config.faults.fails(control.call) = false; break;
    case BoardControlKind::Serial:
        std::memcpy(config.serialNumber, control.serialNumber, sizeof config.serialNumber);
        break;
    case BoardControlKind::Inject:
        for (size_t i = 0; i < control.size && config.injectSize < sizeof config.inject; ++i) {
            config.inject[config.injectSize++] = control.bytes[i];
        }
        break;
    default:
        break;
    }
}

}  // namespace

int parseBoardConfig(const char* text, size_t size, BoardConfig& config, ConfigProblemReport report,
                     void* reportContext) {
    if (text == nullptr) return 0;
    int problems = 0;
    int lineNumber = 0;
    const char* end = text + size;
    for (const char* lineStart = text; lineStart < end;) {
        const char* lineEnd = static_cast<const char*>(std::memchr(lineStart, '\n', static_cast<size_t>(end - lineStart)));
        if (lineEnd == nullptr) lineEnd = end;
        ++lineNumber;
        Span line{lineStart, lineEnd};
        lineStart = lineEnd < end ? lineEnd + 1 : end;
        if (const void* hash = std::memchr(line.begin, '#', line.size())) line.end = static_cast<const char*>(hash);
        line = trim(line);
        if (line.size() == 0) continue;

        char message[160] = {};
        char controlLine[maximumLine + 32];
        bool ok = line.size() <= maximumLine;
        const void* equals = std::memchr(line.begin, '=', line.size());
        if (!ok) {
            std::snprintf(message, sizeof message, "line longer than %u characters", static_cast<unsigned>(maximumLine));
        } else if (equals != nullptr) {
            const char* split = static_cast<const char*>(equals);
            ok = legacyControlLine(trim(Span{line.begin, split}), trim(Span{split + 1, line.end}), controlLine,
                                   sizeof controlLine, message, sizeof message);
        } else {
            std::snprintf(controlLine, sizeof controlLine, "%.*s", static_cast<int>(line.size()), line.begin);
        }
        if (ok) {
            const BoardControl control = parseBoardControl(controlLine, BoardControlFace::Config);
            if (control.kind == BoardControlKind::Invalid) {
                describeBoardControlError(control, message, sizeof message);
                ok = false;
            } else {
                stage(control, config);
            }
        }
        if (!ok) {
            ++problems;
            if (report != nullptr) report(reportContext, lineNumber, message);
        }
    }
    return problems;
}

void applyBoardConfig(const BoardConfig& config, BoardSession& session) {
    BoardControl control;
    const auto apply = [&](BoardControlKind kind) {
        control.kind = kind;
        applyBoardControl(session, control);
    };
    std::memcpy(control.serialNumber, config.serialNumber, sizeof control.serialNumber);
    apply(BoardControlKind::Serial);
    control.inputs = config.inputs & pinMask;
    apply(BoardControlKind::Input);
    control.latencyMilliseconds = static_cast<uint32_t>(config.latencyMilliseconds);
    apply(BoardControlKind::Latency);
    apply(config.muted ? BoardControlKind::Mute : BoardControlKind::Unmute);
    BoardFaults faults = config.faults;
    constexpr FailingCall calls[] = {FailingCall::Open, FailingCall::Write, FailingCall::Status, FailingCall::Read};
    for (FailingCall call : calls) {
        control.call = call;
        apply(faults.fails(call) ? BoardControlKind::Fail : BoardControlKind::Heal);
    }
    apply(config.faults.unplugged ? BoardControlKind::Unplug : BoardControlKind::Plug);
    control.size = config.injectSize;
    std::memcpy(control.bytes, config.inject, config.injectSize);
    if (control.size > 0) apply(BoardControlKind::Inject);
}

}  // namespace kt57
