#include "tools/kt57-run/studio_json.h"

#include <cinttypes>
#include <cstdio>

#include "board/pin_name.h"
#include "console/layout.h"
#include "engine/run_observer.h"
#include "sequencer/run_control.h"

namespace kt57 {

std::string jsonString(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': json += "\\\""; break;
            case '\\': json += "\\\\"; break;
            case '\n': json += "\\n"; break;
            case '\r': json += "\\r"; break;
            case '\t': json += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    json += escaped;
                } else {
                    json += c;
                }
        }
    }
    return json + "\"";
}

std::string momentJson(const RehearsalMoment& moment) {
    std::string json = "{\"at\":" + std::to_string(moment.at) + ",\"position\":" +
                       std::to_string(moment.position) + ",\"whole\":" + (moment.whole ? "true" : "false") +
                       ",\"screen\":" + jsonString(moment.screen) +
                       ",\"state\":" + jsonString(moment.state) + ",\"line\":" + std::to_string(moment.line) +
                       ",\"cells\":[";
    for (size_t i = 0; i < moment.cells.size(); ++i) {
        const ScreenCell& cell = moment.cells[i];
        if (i > 0) json += ',';
        json += "{\"y\":" + std::to_string(cell.y) + ",\"column\":" + std::to_string(cell.column) +
                ",\"width\":" + std::to_string(cell.width) + ",\"red\":" + (cell.red ? "true" : "false") +
                ",\"text\":" + jsonString(cell.text) + "}";
    }
    return json + "]}";
}

namespace {

const char* boolean(bool value) { return value ? "true" : "false"; }

std::string changeList(const std::vector<SignalChange>& changes) {
    std::string json = "[";
    for (size_t i = 0; i < changes.size(); ++i) {
        if (i > 0) json += ',';
        json += '[';
        json += std::to_string(changes[i].at) + "," + std::to_string(changes[i].value) + "]";
    }
    return json + "]";
}

const char* whyKind(WhyStepKind kind) {
    switch (kind) {
        case WhyStepKind::Frame: return "frame";
        case WhyStepKind::Reply: return "reply";
        case WhyStepKind::AndOutput: return "and";
        case WhyStepKind::OrOutput: return "or";
        case WhyStepKind::InputEvent: return "input";
    }
    return "";
}

}  // namespace

std::string signalName(Signal signal) {
    switch (signal.kind) {
        case SignalKind::Line: return "line";
        case SignalKind::Running: return "running";
        case SignalKind::Pin: break;
    }
    return pinNameText(signal.pin);
}

bool parseSignal(std::string_view name, Signal& signal) {
    if (name == "line") signal = Signal{SignalKind::Line, {}};
    else if (name == "running") signal = Signal{SignalKind::Running, {}};
    else if (PinName pin; parsePinName(name, pin)) signal = Signal{SignalKind::Pin, pin};
    else return false;
    return true;
}

std::string tracesJson(const std::vector<SignalTrace>& traces) {
    std::string json = "[";
    for (size_t i = 0; i < traces.size(); ++i) {
        const SignalTrace& trace = traces[i];
        if (i > 0) json += ',';
        json += "{\"signal\":" + jsonString(signalName(trace.signal)) + ",\"initial\":" +
                std::to_string(trace.initial) + ",\"changes\":" + changeList(trace.changes) + ",\"busy\":[";
        for (size_t b = 0; b < trace.busy.size(); ++b) {
            if (b > 0) json += ',';
            json += std::to_string(trace.busy[b]);
        }
        json += "]}";
    }
    return json + "]";
}

std::string marksJson(const RehearsalMarks& marks) {
    std::string json = "{\"end\":" + std::to_string(marks.end) + ",\"endedEarly\":" + boolean(marks.endedEarly) +
                       ",\"errorStops\":[";
    for (size_t i = 0; i < marks.errorStops.size(); ++i) {
        const ErrorMark& stop = marks.errorStops[i];
        if (i > 0) json += ',';
        json += "{\"at\":" + std::to_string(stop.at) + ",\"line\":" +
                std::to_string(shownLineNumber(stop.line)) + ",\"stop\":" + jsonString(errorStopName(stop.stop)) + "}";
    }
    json += "],\"running\":" + changeList(marks.running) + ",\"events\":[";
    for (size_t i = 0; i < marks.events.size(); ++i) {
        const EventMark& event = marks.events[i];
        if (i > 0) json += ',';
        json += "{\"at\":" + std::to_string(event.at) + ",\"kind\":" +
                jsonString(event.kind) + ",\"line\":" + jsonString(event.line) + ",\"whatIf\":" +
                boolean(event.whatIf) + "}";
    }
    json += "],\"differs\":" + std::string(boolean(marks.differs)) + ",\"firstDifference\":" +
            std::to_string(marks.firstDifference) + ",\"expectations\":" + std::to_string(marks.expectations) +
            ",\"failed\":[";
    for (size_t i = 0; i < marks.failed.size(); ++i) {
        const FailedExpectation& failed = marks.failed[i];
        if (i > 0) json += ',';
        json += "{\"at\":" + std::to_string(failed.at) + ",\"finding\":" + jsonString(failed.finding) +
                ",\"pin\":" + (failed.aboutPin ? jsonString(pinNameText(failed.pin)) : "null") + "}";
    }
    return json + "]}";
}

std::string whyJson(const RehearsalWhy& answer) {
    const PinWhy& why = answer.why;
    std::string json = "{\"pin\":" + jsonString(pinNameText(why.pin)) + ",\"at\":" + std::to_string(why.at) +
                       ",\"level\":" + std::to_string(why.level) + ",\"changed\":" + boolean(why.changed) +
                       ",\"changedAt\":" + std::to_string(why.changedAt) + ",\"hasNext\":" + boolean(why.hasNext) +
                       ",\"nextAt\":" + std::to_string(why.nextAt) + ",\"nextLevel\":" +
                       std::to_string(why.nextLevel) + ",\"text\":" + jsonString(answer.text) + ",\"chain\":[";
    for (size_t i = 0; i < why.chain.size(); ++i) {
        const WhyStep& step = why.chain[i];
        if (i > 0) json += ',';
        json += "{\"kind\":" + jsonString(whyKind(step.kind)) + ",\"at\":" +
                std::to_string(step.at) + ",\"line\":" +
                std::to_string(step.line < 0 ? 0 : shownLineNumber(step.line)) + ",\"lineText\":" +
                jsonString(i < answer.lineTexts.size() ? answer.lineTexts[i] : "") + ",\"frame\":" +
                jsonString(step.frame) + ",\"value\":" + jsonString(pinsValueText(step.value)) + ",\"eventsLine\":" +
                std::to_string(step.eventsLine);
        if (step.line >= 0) {
            // Where the console's listing shows the line, when it shows it.
            const CellOrigin cell = listingCellOrigin(step.line);
            json += ",\"listing\":{\"x\":" + std::to_string(cell.x) + ",\"y\":" + std::to_string(cell.y) +
                    ",\"width\":" + std::to_string(listingColumnWidth) +
                    ",\"height\":" + std::to_string(listingRowHeight) + "}";
        }
        json += "}";
    }
    return json + "]}";
}

std::string programJson(const std::vector<ProgramLineText>& lines) {
    std::string json = "{\"lines\":[";
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) json += ',';
        json += "{\"label\":" + std::to_string(lines[i].label) + ",\"text\":" + jsonString(lines[i].text) + "}";
    }
    return json + "]}";
}

}  // namespace kt57
