#include "platform/win32/substitute/board_config.h"

#include <cstdio>
#include <cstring>

namespace kt57 {
namespace {

constexpr size_t maximumLine = 200;
constexpr int maximumLatency = 10000;

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

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool readHex24(Span value, uint32_t& result) {
    if (value.size() < 1 || value.size() > 6) return false;
    uint32_t number = 0;
    for (const char* c = value.begin; c < value.end; ++c) {
        const int digit = hexDigit(*c);
        if (digit < 0) return false;
        number = (number << 4) | static_cast<uint32_t>(digit);
    }
    result = number;
    return true;
}

bool readDecimal(Span value, int maximum, int& result) {
    if (value.size() < 1 || value.size() > 6) return false;
    int number = 0;
    for (const char* c = value.begin; c < value.end; ++c) {
        if (*c < '0' || *c > '9') return false;
        number = number * 10 + (*c - '0');
    }
    if (number > maximum) return false;
    result = number;
    return true;
}

bool readSwitch(Span value, bool& result) {
    if (value.equals("0")) {
        result = false;
        return true;
    }
    if (value.equals("1")) {
        result = true;
        return true;
    }
    return false;
}

bool readSerial(Span value, char (&serial)[9]) {
    if (value.size() < 1 || value.size() > 8) return false;
    for (const char* c = value.begin; c < value.end; ++c) {
        if (*c <= ' ' || *c > '~') return false;
    }
    std::memset(serial, 0, sizeof serial);
    std::memcpy(serial, value.begin, value.size());
    return true;
}

// One "key = value" line; the problem text is left in message when it returns false.
bool applyLine(Span key, Span value, BoardConfig& config, char* message, size_t messageSize) {
    bool ok = false;
    const char* expected = "";
    if (key.equals("serial")) {
        ok = readSerial(value, config.serialNumber);
        expected = "1 to 8 printable characters";
    } else if (key.equals("inputs")) {
        ok = readHex24(value, config.inputs);
        expected = "1 to 6 hexadecimal digits";
    } else if (key.equals("latency")) {
        ok = readDecimal(value, maximumLatency, config.latencyMilliseconds);
        expected = "milliseconds from 0 to 10000";
    } else {
        bool* flag = nullptr;
        if (key.equals("muted")) flag = &config.muted;
        if (key.equals("unplugged")) flag = &config.faults.unplugged;
        if (key.equals("openFails")) flag = &config.faults.openFails;
        if (key.equals("writeFails")) flag = &config.faults.writeFails;
        if (key.equals("statusFails")) flag = &config.faults.statusFails;
        if (key.equals("readFails")) flag = &config.faults.readFails;
        if (flag == nullptr) {
            std::snprintf(message, messageSize, "unknown key '%.*s'", static_cast<int>(key.size() > 40 ? 40 : key.size()),
                          key.begin);
            return false;
        }
        ok = readSwitch(value, *flag);
        expected = "0 or 1";
    }
    if (!ok) {
        std::snprintf(message, messageSize, "%.*s: '%.*s' is not %s", static_cast<int>(key.size()), key.begin,
                      static_cast<int>(value.size() > 40 ? 40 : value.size()), value.begin, expected);
    }
    return ok;
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
        bool ok = false;
        const void* equals = std::memchr(line.begin, '=', line.size());
        if (line.size() > maximumLine) {
            std::snprintf(message, sizeof message, "line longer than %u characters", static_cast<unsigned>(maximumLine));
        } else if (equals == nullptr) {
            std::snprintf(message, sizeof message, "expected key = value");
        } else {
            const char* split = static_cast<const char*>(equals);
            ok = applyLine(trim(Span{line.begin, split}), trim(Span{split + 1, line.end}), config, message,
                           sizeof message);
        }
        if (!ok) {
            ++problems;
            if (report != nullptr) report(reportContext, lineNumber, message);
        }
    }
    return problems;
}

void applyBoardConfig(const BoardConfig& config, VirtualBoard& board) {
    std::memcpy(board.model.serialNumber, config.serialNumber, sizeof board.model.serialNumber);
    board.model.inputs = config.inputs & 0xFFFFFFu;
    board.model.muted = config.muted;
    board.latencyMilliseconds = config.latencyMilliseconds;
    const bool wasUnplugged = board.faults.unplugged;
    board.faults = config.faults;
    board.faults.unplugged = wasUnplugged;
    if (config.faults.unplugged && !wasUnplugged) board.unplug();
    if (!config.faults.unplugged && wasUnplugged) board.plug();
}

}  // namespace kt57
