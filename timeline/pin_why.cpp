#include "timeline/pin_why.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "device/byte_escapes.h"
#include "sequencer/line_text.h"
#include "sequencer/run_control.h"

namespace kt57 {

namespace {

// A frame as the trace shows it, without the CR every command ends with.
std::string frameText(const unsigned char* frame) {
    size_t size = frameLength;
    if (frame[size - 1] == '\r') --size;
    char text[frameLength * escapedByteLength + 1];
    const size_t length = formatEscapedBytes(frame, size, text, sizeof text);
    return std::string(text, length);
}

WhyStep inputStep(const TimelineRecord& record, uint32_t causeIndex) {
    const InputCause& cause = record.inputCauses[causeIndex];
    WhyStep step;
    step.kind = WhyStepKind::InputEvent;
    step.at = cause.at;
    step.value = cause.inputs;
    step.eventsLine = cause.sourceLine;
    return step;
}

// The cause of the input's last change at or before a moment of the clock (not of the messages: a
// command reads the inputs partway through one); -1 when it never changed before.
int64_t inputCauseBy(const TimelineRecord& record, int bit, int64_t at) {
    const auto& changes = record.pins[static_cast<size_t>(pinCount + bit)];
    const auto after = std::upper_bound(changes.begin(), changes.end(), at,
                                        [](int64_t t, const SignalChange& change) { return t < change.at; });
    if (after == changes.begin()) return -1;
    return record.pinCauses[static_cast<size_t>(pinCount + bit)][static_cast<size_t>(after - changes.begin() - 1)];
}

bool isRead(const ProgramStore& program, int32_t line) {
    return line >= 0 && line < program.lineCount && program.lines[line].text[0] == 'R';
}

void explainRegisterBit(const TimelineRecord& record, const ProgramStore& program, const OutputCause& cause, int bit,
                        PinWhy& why) {
    for (uint32_t index = cause.firstSource; index < cause.firstSource + cause.sourceCount; ++index) {
        if (record.sources[index].bit != bit) continue;
        const RegisterWrite& write = record.writes[record.sources[index].write];
        WhyStep step;
        step.at = write.at;
        step.line = write.line;
        step.value = write.value;
        switch (write.kind) {
            case RegisterWriteKind::Reply:
                step.kind = WhyStepKind::Reply;
                break;
            case RegisterWriteKind::AndOutput: step.kind = WhyStepKind::AndOutput; break;
            case RegisterWriteKind::OrOutput: step.kind = WhyStepKind::OrOutput; break;
        }
        why.chain.push_back(step);
        // After a read, the register holds the inputs as the board had them (before polarity).
        if (write.kind == RegisterWriteKind::Reply && isRead(program, write.line)) {
            const int64_t input = inputCauseBy(record, bit, write.at - write.sinceCommand);
            if (input >= 0) why.chain.push_back(inputStep(record, static_cast<uint32_t>(input)));
        }
        return;
    }
}

std::string lineName(const ProgramStore& program, int32_t line) {
    if (line < 0) return "no program line";
    const std::string text = shownLineText(program, line);
    return "line " + std::to_string(shownLineNumber(line)) + (text.empty() ? "" : " (" + text + ")");
}

std::string milliseconds(int64_t at) { return std::to_string(at) + " ms"; }

std::string edge(int level) { return level != 0 ? "rose" : "fell"; }

std::string eventsLine(int line) {
    return line > 0 ? "line " + std::to_string(line) + " of the events file" : "a scripted event";
}

}  // namespace

PinWhy explainPin(const Timeline& timeline, PinName pin, int64_t t) {
    PinWhy why;
    why.pin = pin;
    why.at = t;
    const Signal signal{SignalKind::Pin, pin};
    if (const SignalChange* next = timeline.nextChange(signal, t)) {
        why.hasNext = true;
        why.nextAt = next->at;
        why.nextLevel = next->value;
    }
    const SignalChange* last = timeline.lastChange(signal, t);
    if (last == nullptr) return why;
    why.changed = true;
    why.changedAt = last->at;
    why.level = last->value;
    const TimelineRecord& record = timeline.record();
    const uint32_t causeIndex = timeline.causeOf(pin, last);
    if (pin.side == PinSide::Input) {
        why.chain.push_back(inputStep(record, causeIndex));
        return why;
    }
    const OutputCause& cause = record.outputCauses[causeIndex];
    WhyStep frame;
    frame.kind = WhyStepKind::Frame;
    frame.at = last->at;
    frame.line = cause.line;
    frame.frame = frameText(cause.frame);
    why.chain.push_back(frame);
    if (cause.fromRegister) explainRegisterBit(record, timeline.program(), cause, pin.index, why);
    return why;
}

std::string describePinWhy(const Timeline& timeline, const PinWhy& why) {
    const ProgramStore& program = timeline.program();
    const std::string name = pinNameText(why.pin);
    const std::string bit = std::to_string(why.pin.index);
    std::string text = name + " is " + std::to_string(why.level) + " at " + milliseconds(why.at);
    text += why.changed ? ".\n" : ", as it has been since the rehearsal began.\n";
    for (const WhyStep& step : why.chain) {
        switch (step.kind) {
            case WhyStepKind::Frame:
                text += "  It " + edge(why.level) + " at " + milliseconds(step.at) + ", when " +
                        lineName(program, step.line) + " sent " + step.frame + ".\n";
                break;
            case WhyStepKind::Reply:
                text += "  That frame sent the output register, whose bit " + bit + " came from the reply at " +
                        milliseconds(step.at) + " to " + lineName(program, step.line) + ", " +
                        (isRead(program, step.line) ? "which read the inputs as " : "which set the register to ") +
                        pinsValueText(step.value) + ".\n";
                break;
            case WhyStepKind::AndOutput:
                text += "  That frame sent the output register, whose bit " + bit + " was cleared by " +
                        lineName(program, step.line) + " at " + milliseconds(step.at) + ".\n";
                break;
            case WhyStepKind::OrOutput:
                text += "  That frame sent the output register, whose bit " + bit + " was set by " +
                        lineName(program, step.line) + " at " + milliseconds(step.at) + ".\n";
                break;
            case WhyStepKind::InputEvent: {
                const bool own = why.pin.side == PinSide::Input;
                const int level = static_cast<int>((step.value >> why.pin.index) & 1u);
                text += (own ? "  It " + edge(level) : "  in" + bit + " had " + (level != 0 ? "risen" : "fallen")) +
                        " at " + milliseconds(step.at) +
                        ", when " + eventsLine(step.eventsLine) + " set the inputs to " + pinsValueText(step.value) + ".\n";
                break;
            }
        }
    }
    if (why.hasNext) {
        text += "  Next change: " + name + " " + (why.nextLevel != 0 ? "rises" : "falls") + " at " +
                milliseconds(why.nextAt) + ".\n";
    } else {
        text += "  It does not change again before the rehearsal ends at " + milliseconds(timeline.endTime()) + ".\n";
    }
    return text;
}

}  // namespace kt57
