// Parsing an expectation. Every mistake is refused with what the word should have been.
#include "tools/kt57-run/expectation_line.h"

#include "device/board_protocol.h"
#include "device/hex.h"
#include "sequencer/program_store.h"

namespace kt57 {

namespace {

constexpr struct {
    Edge edge;
    const char* word;
} edgeWords[] = {{Edge::Rise, "rise"}, {Edge::Fall, "fall"}, {Edge::Change, "change"}};

bool parseEdge(const std::string& word, Edge& edge) {
    for (const auto& known : edgeWords) {
        if (word != known.word) continue;
        edge = known.edge;
        return true;
    }
    return false;
}

// Six hexadecimal digits of either case, as the input event takes them.
bool parsePins(const std::string& word, uint32_t& value) {
    if (word.size() != 6) return false;
    value = 0;
    for (char c : word) {
        const int digit = hexDigitValue(c);
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

struct ExpectationParser {
    const EventWords& line;
    Expectation& expectation;
    std::string& message;

    const std::vector<std::string>& words() const { return line.words; }
    bool fail(std::string text) {
        message = std::move(text);
        return false;
    }
    bool wordCount(size_t count, const char* form) {
        if (words().size() == count) return true;
        return fail(std::string(words().size() < count ? "incomplete" : "too many words in") + " '" + words()[2] +
                    "' expectation: " + form);
    }

    bool pins() {
        if ((words().size() - 2) % 2 != 0) return fail("'" + words().back() + "' needs a value: PIN 0|1 [PIN 0|1]...");
        for (size_t i = 2; i < words().size(); i += 2) {
            ExpectedPin expected;
            if (!parsePinName(words()[i], expected.pin)) {
                return fail("bad pin '" + words()[i] + "': out0 to out23 or in0 to in23");
            }
            const std::string& value = words()[i + 1];
            if (value != "0" && value != "1") return fail("bad value '" + value + "' for " + words()[i] + ": 0 or 1");
            expected.value = value == "1";
            expected.column = line.columns[i];
            const bool output = expected.pin.side == PinSide::Output;
            uint32_t& mask = output ? expectation.outputMask : expectation.inputMask;
            uint32_t& pinValues = output ? expectation.outputValue : expectation.inputValue;
            if ((mask & expected.pin.bit()) != 0) return fail(words()[i] + " is named twice");
            mask |= expected.pin.bit();
            if (expected.value) pinValues |= expected.pin.bit();
            expectation.pins.push_back(expected);
        }
        expectation.kind = ExpectationKind::Pins;
        return true;
    }

    bool port(PinSide side) {
        const char* form = "out|in HHHHHH [mask HHHHHH]";
        if (words().size() != 4 && words().size() != 6) return wordCount(words().size() < 4 ? 4 : 6, form);
        uint32_t value = 0;
        uint32_t mask = pinMask;
        if (!parsePins(words()[3], value)) return fail("bad value '" + words()[3] + "': six hexadecimal digits");
        if (words().size() == 6) {
            if (words()[4] != "mask") return fail("'" + words()[4] + "' where 'mask' belongs: " + form);
            if (!parsePins(words()[5], mask) || mask == 0) {
                return fail("bad mask '" + words()[5] + "': six hexadecimal digits, not all 0");
            }
            expectation.masked = true;
        }
        if ((value & ~mask) != 0) return fail("value " + words()[3] + " has bits outside the mask " + words()[5]);
        (side == PinSide::Output ? expectation.outputMask : expectation.inputMask) = mask;
        (side == PinSide::Output ? expectation.outputValue : expectation.inputValue) = value;
        expectation.port = side;
        expectation.kind = ExpectationKind::Pins;
        return true;
    }

    bool reaction() {
        const char* form = "PIN rise|fall|change within MS after PIN rise|fall|change";
        if (!wordCount(9, form)) return false;
        uint64_t within = 0;
        if (!parsePinName(words()[2], expectation.response) || !parseEdge(words()[3], expectation.responseEdge) ||
            words()[4] != "within" || words()[6] != "after") {
            return fail(std::string("bad reaction: ") + form);
        }
        if (!parseDecimal(words()[5], maxEventTime, within)) return fail("bad time '" + words()[5] + "': milliseconds");
        if (!parsePinName(words()[7], expectation.trigger)) {
            return fail("bad pin '" + words()[7] + "': out0 to out23 or in0 to in23");
        }
        if (!parseEdge(words()[8], expectation.triggerEdge)) {
            return fail("bad edge '" + words()[8] + "': rise, fall or change");
        }
        expectation.within = static_cast<int64_t>(within);
        expectation.kind = ExpectationKind::Reaction;
        return true;
    }

    bool lineNumber() {
        if (!wordCount(4, "line N")) return false;
        uint64_t number = 0;
        if (!parseDecimal(words()[3], maxProgramLines, number) || number == 0) {
            return fail("bad line '" + words()[3] + "': from 1 to 256, as the screen numbers lines");
        }
        expectation.line = static_cast<int32_t>(number);
        expectation.kind = ExpectationKind::Line;
        return true;
    }

    bool error() {
        if (!wordCount(4, "error none|data|loop|device")) return false;
        if (words()[3] == "none") {
            expectation.noError = true;
        } else {
            bool known = false;
            for (const ErrorStop stop : errorStops) {
                if (words()[3] != errorStopName(stop)) continue;
                expectation.errorStop = stop;
                known = true;
            }
            if (!known) return fail("bad error '" + words()[3] + "': none, data, loop or device");
        }
        // An error stop is a moment's event, not a state: at one moment T, it means "by T".
        if (!expectation.span) expectation.from = 0;
        expectation.kind = ExpectationKind::Error;
        return true;
    }

    bool parse() {
        if (words().size() < 3) return fail("'expect' needs what to expect");
        expectation.column = line.columns[2];
        expectation.text = line.from(0);
        const std::string& what = words()[2];
        PinName pin;
        PinSide side;
        if (parsePinName(what, pin)) {
            Edge edge;
            if (words().size() > 3 && parseEdge(words()[3], edge)) return reaction();
            return pins();
        }
        if (parsePinSide(what, side)) return port(side);
        if (what == "line") return lineNumber();
        if (what == "running" || what == "stopped") {
            if (!wordCount(3, what.c_str())) return false;
            expectation.kind = what == "running" ? ExpectationKind::Running : ExpectationKind::Stopped;
            return true;
        }
        if (what == "screen") {
            if (words().size() < 4) return fail("'screen' needs the text to look for");
            expectation.screenText = line.from(3);
            expectation.kind = ExpectationKind::Screen;
            return true;
        }
        if (what == "error") return error();
        const size_t digits = what.find_first_of("0123456789");
        if (digits != std::string::npos && (what.substr(0, digits) == "out" || what.substr(0, digits) == "in")) {
            return fail("bad pin '" + what + "': out0 to out23 or in0 to in23");
        }
        return fail("unknown expectation '" + what + "': a pin, out, in, line, running, stopped, screen or error");
    }
};

}  // namespace

const char* edgeWord(Edge edge) {
    for (const auto& known : edgeWords) {
        if (known.edge == edge) return known.word;
    }
    return "";
}

bool parseExpectation(const EventWords& line, Expectation& expectation, std::string& message) {
    return ExpectationParser{line, expectation, message}.parse();
}

}  // namespace kt57
