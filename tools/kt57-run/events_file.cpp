// Parsing kt57-run's events file. Every mistake is reported with its line; nothing is guessed.
#include "tools/kt57-run/events_file.h"

#include <cstdint>
#include <sstream>

#include "board/board_control.h"
#include "console/layout.h"
#include "console/operator_keys.h"
#include "device/byte_escapes.h"
#include "sequencer/program_store.h"
#include "tools/common/bounded_file.h"
#include "tools/kt57-run/event_words.h"
#include "tools/kt57-run/expectation_line.h"

namespace kt57 {
namespace {

struct LineParser {
    const EventWords& line;
    const std::vector<std::string>& words;
    std::string message;

    bool fail(std::string text) {
        message = std::move(text);
        return false;
    }
    bool argumentCount(size_t minimum, size_t maximum) {
        const size_t count = words.size() - 2;
        if (count < minimum) return fail("'" + words[1] + "' needs " + (minimum == 1 ? "an argument" : "more arguments"));
        if (count > maximum) return fail("too many arguments for '" + words[1] + "'");
        return true;
    }

    bool key(HeadlessEvent& event) {
        if (!argumentCount(1, 2)) return false;
        event.kind = HeadlessEventKind::Key;
        const std::string& what = words[2];
        if (what == "code") {
            uint64_t code = 0;
            if (words.size() != 4 || !parseDecimal(words[3], 0xFFFF, code)) {
                return fail("'key code' needs a decimal character code from 0 to 65535");
            }
            event.code = static_cast<uint32_t>(code);
            return true;
        }
        if (words.size() != 3) return fail("too many arguments for 'key'");
        if (what == "enter") event.code = characterEnter;
        else if (what == "esc") event.code = characterEscape;
        else if (what.size() == 1 && what[0] > 0x20 && what[0] < 0x7F) event.code = static_cast<unsigned char>(what[0]);
        else return fail("bad key '" + what + "': one printable character, enter, esc or code N");
        return true;
    }

    bool post(HeadlessEvent& event) {
        if (!argumentCount(1, 1)) return false;
        if (words[2] != "A" && words[2] != "P") return fail("bad posted command '" + words[2] + "': A or P");
        event.kind = HeadlessEventKind::Post;
        event.code = static_cast<uint32_t>(words[2][0]);
        return true;
    }

    bool click(HeadlessEvent& event, bool doubleClick) {
        if (!argumentCount(2, 4)) return false;
        uint64_t x = 0;
        uint64_t y = 0;
        if (!parseDecimal(words[2], 0xFFFF, x) || !parseDecimal(words[3], 0xFFFF, y)) {
            return fail("bad position '" + words[2] + " " + words[3] + "': pixels from 0 to 65535");
        }
        event.kind = doubleClick ? HeadlessEventKind::DoubleClick : HeadlessEventKind::Click;
        event.x = static_cast<uint16_t>(x);
        event.y = static_cast<uint16_t>(y);
        for (size_t i = 4; i < words.size(); ++i) {
            bool& held = words[i] == "ctrl" ? event.control : event.shift;
            if ((words[i] != "ctrl" && words[i] != "shift") || held) {
                return fail("bad modifier '" + words[i] + "': ctrl and shift, each once");
            }
            held = true;
        }
        return true;
    }

    bool number(HeadlessEvent& event, HeadlessEventKind kind, uint64_t limit, const char* what) {
        if (!argumentCount(1, 1)) return false;
        uint64_t value = 0;
        if (!parseDecimal(words[2], limit, value)) return fail(std::string("bad ") + what + " '" + words[2] + "'");
        event.kind = kind;
        event.code = static_cast<uint32_t>(value);
        return true;
    }

    // A board-control line after the time, in the one control language; the events it always had
    // keep their own kinds.
    bool board(HeadlessEvent& event) {
        std::string line;
        for (size_t i = 1; i < words.size(); ++i) line += (i > 1 ? " " : "") + words[i];
        const BoardControl control = parseBoardControl(line.data(), line.size(), BoardControlFace::Events);
        switch (control.kind) {
            case BoardControlKind::Input:
                event.kind = HeadlessEventKind::Input;
                event.code = control.inputs;
                return true;
            case BoardControlKind::Latency:
                event.kind = HeadlessEventKind::Latency;
                event.code = control.latencyMilliseconds;
                return true;
            case BoardControlKind::Unplug: event.kind = HeadlessEventKind::Unplug; return true;
            case BoardControlKind::Plug: event.kind = HeadlessEventKind::Plug; return true;
            case BoardControlKind::Mute: event.kind = HeadlessEventKind::Mute; return true;
            case BoardControlKind::Unmute: event.kind = HeadlessEventKind::Unmute; return true;
            case BoardControlKind::Inject:
                event.kind = HeadlessEventKind::Inject;
                event.bytes.assign(reinterpret_cast<const char*>(control.bytes), control.size);
                return true;
            case BoardControlKind::Invalid: {
                std::string reason(describeBoardControlError(control, nullptr, 0), '\0');
                describeBoardControlError(control, reason.data(), reason.size() + 1);
                return fail(reason);
            }
            default:
                event.kind = HeadlessEventKind::Board;
                event.board = control;
                return true;
        }
    }

    bool plain(HeadlessEvent& event, HeadlessEventKind kind) {
        if (!argumentCount(0, 0)) return false;
        event.kind = kind;
        return true;
    }

    // The click an operator makes on a line's listing cell: with Ctrl it sets or clears the break
    // line, with Shift it sets the continue line. Past the last line it designates none, so Ctrl
    // there clears the break line whatever the program's length.
    bool lineClick(HeadlessEvent& event, bool control, bool shift) {
        int32_t index = maxProgramLines;
        if (words[1] != "unbreak") {
            if (!argumentCount(1, 1)) return false;
            uint64_t number = 0;
            if (!parseDecimal(words[2], maxProgramLines, number) || number == 0) {
                return fail("bad line '" + words[2] + "': from 1 to 256, as the screen numbers lines");
            }
            index = static_cast<int32_t>(number) - 1;
        } else if (!argumentCount(0, 0)) {
            return false;
        }
        const CellOrigin cell = listingCellOrigin(index);
        event = HeadlessEvent::click(event.at, static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y), control,
                                     shift);
        return true;
    }

    // "A", "A..B" or "A..": a span only before "expect".
    bool moments(Expectation& expectation) {
        const std::string& word = words[0];
        const size_t dots = word.find("..");
        uint64_t from = 0;
        uint64_t to = 0;
        const bool span = dots != std::string::npos;
        const bool bad = !parseDecimal(word.substr(0, dots), maxEventTime, from) ||
                         (span && dots + 2 < word.size() && !parseDecimal(word.substr(dots + 2), maxEventTime, to));
        if (bad && !span) return fail("bad time '" + word + "': milliseconds");
        if (bad) return fail("bad time span '" + word + "': A..B or A.., in milliseconds");
        const bool toTheEnd = span && dots + 2 == word.size();
        if (span && (words.size() < 2 || words[1] != "expect")) {
            return fail("a time span '" + word + "' is for expect only");
        }
        if (span && !toTheEnd && to < from) return fail("bad time '" + word + "': the span ends before it starts");
        expectation.from = static_cast<int64_t>(from);
        expectation.to = !span ? expectation.from : toTheEnd ? Expectation::openEnd : static_cast<int64_t>(to);
        expectation.span = span;
        return true;
    }

    // One line: an event, or with isExpectation set an expectation.
    bool parse(HeadlessEvent& event, Expectation& expectation, bool& isExpectation) {
        if (!moments(expectation)) return false;
        event.at = expectation.from;
        if (words.size() < 2) return fail("missing event after the time");
        const std::string& name = words[1];
        isExpectation = name == "expect";
        if (isExpectation) return parseExpectation(line, expectation, message);
        if (name == "break") return lineClick(event, true, false);
        if (name == "continue") return lineClick(event, false, true);
        if (name == "unbreak") return lineClick(event, true, false);
        if (name == "key") return key(event);
        if (name == "post") return post(event);
        if (name == "click") return click(event, false);
        if (name == "dblclick") return click(event, true);
        if (name == "paint") return plain(event, HeadlessEventKind::Paint);
        if (name == "menu") return number(event, HeadlessEventKind::Menu, 0xFFFFFFFFu, "command");
        if (name == "close") return plain(event, HeadlessEventKind::Close);
        if (isBoardControlWord(name.data(), name.size(), BoardControlFace::Events)) return board(event);
        if (name == "screen") return plain(event, HeadlessEventKind::Screen);
        if (name == "state") return plain(event, HeadlessEventKind::State);
        return fail("unknown event '" + name + "'");
    }
};

}  // namespace

bool decodeFrameWord(const std::string& word, std::string& bytes) {
    size_t size = 0;
    if (!decodeEscapedBytes(word.data(), word.size(), nullptr, 0, size)) return false;
    bytes.assign(size, '\0');
    return decodeEscapedBytes(word.data(), word.size(), reinterpret_cast<unsigned char*>(bytes.data()), size, size);
}

bool parseEventsFile(const std::string& text, const std::string& name, EventsFile& file, std::string& error) {
    std::istringstream in(text);
    std::string written;
    int number = 0;
    while (std::getline(in, written)) {
        ++number;
        const EventWords line(written);
        if (line.words.empty()) continue;
        LineParser parser{line, line.words, {}};
        HeadlessEvent event;
        Expectation expectation;
        bool isExpectation = false;
        if (!parser.parse(event, expectation, isExpectation)) {
            error = name + ":" + std::to_string(number) + ": " + parser.message;
            return false;
        }
        if (isExpectation) {
            expectation.sourceLine = number;
            file.expectations.push_back(std::move(expectation));
        } else {
            event.sourceLine = number;
            file.events.push_back(std::move(event));
        }
    }
    return true;
}

bool readEventsFile(const std::string& path, EventsFile& file, std::string& error) {
    std::string text;
    const FileReadResult read = readBoundedFile(path.c_str(), text, error);
    if (read != FileReadResult::Read) {
        if (read == FileReadResult::CannotOpen) error.clear();
        if (read == FileReadResult::TooLarge) error = "larger than 16 MiB";
        error = "kt57-run: " + path + ": cannot read the events file" + (error.empty() ? "" : ": ") + error;
        return false;
    }
    return parseEventsFile(text, path, file, error);
}

bool parseEvents(const std::string& text, const std::string& name, std::vector<HeadlessEvent>& events,
                 std::string& error) {
    EventsFile file;
    if (!parseEventsFile(text, name, file, error)) return false;
    events.insert(events.end(), file.events.begin(), file.events.end());
    return true;
}

}  // namespace kt57
