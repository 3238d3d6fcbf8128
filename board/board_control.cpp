#include "board/board_control.h"

#include <cstring>

#include "device/byte_escapes.h"
#include "device/hex.h"

namespace kt57 {

namespace {

enum class Argument : uint8_t { None, Inputs, Latency, Call, Serial, Bytes };

struct Word {
    const char* text;
    BoardControlKind kind;
    Argument argument;
    bool consoleOnly;
};

constexpr Word words[] = {
    {"input", BoardControlKind::Input, Argument::Inputs, false},
    {"latency", BoardControlKind::Latency, Argument::Latency, false},
    {"unplug", BoardControlKind::Unplug, Argument::None, false},
    {"plug", BoardControlKind::Plug, Argument::None, false},
    {"mute", BoardControlKind::Mute, Argument::None, false},
    {"unmute", BoardControlKind::Unmute, Argument::None, false},
    {"fail", BoardControlKind::Fail, Argument::Call, false},
    {"heal", BoardControlKind::Heal, Argument::Call, false},
    {"serial", BoardControlKind::Serial, Argument::Serial, false},
    {"inject", BoardControlKind::Inject, Argument::Bytes, false},
    {"quit", BoardControlKind::Quit, Argument::None, true},
    {"help", BoardControlKind::Help, Argument::None, true},
};

struct CallName {
    const char* text;
    FailingCall call;
};

constexpr CallName callNames[] = {
    {"open", FailingCall::Open}, {"write", FailingCall::Write}, {"status", FailingCall::Status}, {"read", FailingCall::Read}};

// The rule's text names the limit, and the two cannot part.
constexpr uint64_t lastNumberIn(const char* text) {
    uint64_t number = 0;
    for (; *text != '\0'; ++text) {
        number = *text >= '0' && *text <= '9' ? number * 10 + static_cast<uint64_t>(*text - '0') : 0;
    }
    return number;
}
static_assert(lastNumberIn(latencyRule) == maximumLatencyMilliseconds);

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Span {
    const char* begin = nullptr;
    size_t length = 0;
    bool is(const char* text) const { return std::strlen(text) == length && std::memcmp(begin, text, length) == 0; }
};

// Words of a line, one after another.
struct Cursor {
    const char* at;
    const char* end;

    void skipBlanks() {
        while (at < end && isBlank(*at)) ++at;
    }
    Span next() {
        skipBlanks();
        Span word{at, 0};
        while (at < end && !isBlank(*at)) ++at;
        word.length = static_cast<size_t>(at - word.begin);
        return word;
    }
};

const Word* find(Span word, BoardControlFace face) {
    for (const Word& known : words) {
        if (known.consoleOnly && face != BoardControlFace::Console) continue;
        if (word.is(known.text)) return &known;
    }
    return nullptr;
}

BoardControl invalid(const char* before, Span word, const char* after, const char* rule = "") {
    BoardControl control;
    control.kind = BoardControlKind::Invalid;
    control.errorBefore = before;
    control.errorWord = word.begin;
    control.errorWordLength = word.length;
    control.errorAfter = after;
    control.errorRule = rule;
    return control;
}

bool readInputs(Span word, uint32_t& value) {
    if (word.length != 6) return false;
    value = 0;
    for (size_t i = 0; i < word.length; ++i) {
        const int digit = hexDigitValue(word.begin[i]);
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

bool readCall(Span word, FailingCall& call) {
    for (const CallName& name : callNames) {
        if (!word.is(name.text)) continue;
        call = name.call;
        return true;
    }
    return false;
}

bool readSerial(Span word, char (&serial)[serialNumberCapacity]) {
    if (!isSerialNumber(word.begin, word.length)) return false;
    std::memset(serial, 0, sizeof serial);
    std::memcpy(serial, word.begin, word.length);
    return true;
}

// inject's bytes: one word in the events file, the rest of the line elsewhere (the terminal's
// line end is not part of it).
BoardControl injectOf(Span name, Cursor rest, BoardControlFace face) {
    Span bytes;
    if (face == BoardControlFace::Events) {
        bytes = rest.next();
        if (bytes.length > 0 && rest.next().length > 0) return invalid("too many arguments for '", name, "'");
    } else {
        while (rest.at < rest.end && (*rest.at == ' ' || *rest.at == '\t')) ++rest.at;
        while (rest.end > rest.at && (rest.end[-1] == '\n' || rest.end[-1] == '\r')) --rest.end;
        bytes = Span{rest.at, static_cast<size_t>(rest.end - rest.at)};
    }
    if (bytes.length == 0) return invalid("'", name, "' needs an argument");
    BoardControl control;
    if (!decodeEscapedBytes(bytes.begin, bytes.length, control.bytes, sizeof control.bytes, control.size)) {
        return invalid("bad bytes '", bytes, "': characters and \\xHH escapes");
    }
    if (control.size > injectCapacity) {
        // The events file has always taken any length; what the queue cannot hold is lost anyway.
        if (face != BoardControlFace::Events) return invalid("too many bytes for '", name, "': at most 512");
        control.size = injectCapacity;
    }
    control.kind = BoardControlKind::Inject;
    return control;
}

}  // namespace

bool parseLatency(const char* text, size_t length, uint32_t& value) {
    if (length == 0 || length > 19) return false;
    uint64_t number = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        number = number * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    if (number > maximumLatencyMilliseconds) return false;
    value = static_cast<uint32_t>(number);
    return true;
}

bool isBoardControlWord(const char* word, size_t length, BoardControlFace face) {
    return find(Span{word, length}, face) != nullptr;
}

BoardControl parseBoardControl(const char* line, BoardControlFace face) {
    return parseBoardControl(line, std::strlen(line), face);
}

BoardControl parseBoardControl(const char* line, size_t length, BoardControlFace face) {
    Cursor cursor{line, line + length};
    const Span name = cursor.next();
    if (name.length == 0) return BoardControl{};
    const Word* word = find(name, face);
    if (word == nullptr) {
        return invalid(face == BoardControlFace::Events ? "unknown event '" : "unknown command '", name, "'");
    }
    if (word->argument == Argument::Bytes) return injectOf(name, cursor, face);

    const Span argument = cursor.next();
    if (word->argument != Argument::None && argument.length == 0) return invalid("'", name, "' needs an argument");
    const bool extra = word->argument == Argument::None ? argument.length > 0 : cursor.next().length > 0;
    if (extra) return invalid("too many arguments for '", name, "'");

    BoardControl control;
    control.kind = word->kind;
    switch (word->argument) {
    case Argument::None:
    case Argument::Bytes:
        break;
    case Argument::Inputs:
        if (!readInputs(argument, control.inputs)) return invalid("bad inputs '", argument, "': six hexadecimal digits");
        break;
    case Argument::Latency:
        if (!parseLatency(argument.begin, argument.length, control.latencyMilliseconds)) {
            return invalid("bad latency '", argument, "': ", latencyRule);
        }
        break;
    case Argument::Call:
        if (!readCall(argument, control.call)) return invalid("bad call '", argument, "': open, write, status or read");
        break;
    case Argument::Serial:
        if (!readSerial(argument, control.serialNumber)) {
            return invalid("bad serial '", argument, "': ", serialNumberRule);
        }
        break;
    }
    return control;
}

size_t describeBoardControlError(const BoardControl& control, char* text, size_t capacity) {
    const Span parts[] = {{control.errorBefore, std::strlen(control.errorBefore)},
                          {control.errorWord, control.errorWordLength},
                          {control.errorAfter, std::strlen(control.errorAfter)},
                          {control.errorRule, std::strlen(control.errorRule)}};
    size_t total = 0;
    for (const Span& part : parts) {
        if (capacity > 0 && total < capacity - 1) {
            const size_t room = capacity - 1 - total;
            std::memcpy(text + total, part.begin, part.length < room ? part.length : room);
        }
        total += part.length;
    }
    if (capacity > 0) text[total < capacity - 1 ? total : capacity - 1] = '\0';
    return total;
}

const char* boardControlHelp(BoardControlFace face) {
    if (face == BoardControlFace::Console) {
        return "controls: input 00FF00 | latency MS | unplug | plug | mute | unmute | fail CALL | heal CALL "
               "(CALL: open, write, status, read) | serial S | inject <bytes, \\xHH escapes> | quit";
    }
    return "controls: input 00FF00 | latency MS | unplug | plug | mute | unmute | fail CALL | heal CALL "
           "(CALL: open, write, status, read) | serial S | inject <bytes, \\xHH escapes>";
}

}  // namespace kt57
