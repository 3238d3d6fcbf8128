#include "timeline/timeline_recorder.h"

#include <cstring>

#include "sequencer/run_control.h"
#include "sequencer/opcode.h"

namespace kt57 {

TimelineRecorder::TimelineRecorder(HeadlessRun& run, TimelineRecord& record)
    : run_(run), record_(record), outputs_(run.board().model.outputs), inputs_(run.board().model.inputs) {
    for (int& slot : bitSlot_) slot = noSlot;
}

void TimelineRecorder::sample(std::vector<SignalChange>& changes, int32_t value) {
    const int32_t previous = changes.empty() ? 0 : changes.back().value;
    if (value != previous) changes.push_back(SignalChange{run_.now(), position_, value});
}

void TimelineRecorder::started() {
    const Sequencer& s = run_.sequencer();
    sample(record_.lines, executingLineNumber(s.run, s.program.lineCount));
    sample(record_.running, stopped(s.run, s.program.lineCount) ? 0 : 1);
}

void TimelineRecorder::beginDelivery(int64_t due) {
    record_.deliveryDue.push_back(due);
    position_ = static_cast<uint32_t>(record_.deliveryDue.size());
    linesThisDelivery_ = 0;
    eventsBefore_ = run_.eventsDelivered();
}

void TimelineRecorder::endDelivery() {
    record_.deliveryLines.push_back(static_cast<uint8_t>(linesThisDelivery_ > 255 ? 255 : linesThisDelivery_));
    started();
}

void TimelineRecorder::errorStopped(ErrorStop stop, int32_t line) {
    record_.errorStops.push_back(ErrorMark{run_.now(), position_, stop, line});
}

void TimelineRecorder::setBits(uint32_t bits, const RegisterWrite& write) {
    if (bits == 0) return;
    int slot = 0;
    while (references_[slot] != 0) ++slot;
    slots_[slot] = write;
    kept_[slot] = -1;
    for (int bit = 0; bit < pinCount; ++bit) {
        if (((bits >> bit) & 1u) == 0) continue;
        if (bitSlot_[bit] != noSlot) --references_[bitSlot_[bit]];
        bitSlot_[bit] = slot;
        ++references_[slot];
    }
}

void TimelineRecorder::lineExecuted(LineOutcome outcome) {
    if (outcome == LineOutcome::DeviceCommand) return;  // counted when it is sent
    ++linesThisDelivery_;
    if (outcome != LineOutcome::Executed) return;
    const Sequencer& s = run_.sequencer();
    const ProgramLine& line = s.program.lines[s.run.currentLine];
    if (line.operand < 0 || (line.opcode != AndOutput && line.opcode != OrOutput)) return;
    RegisterWrite write;
    write.kind = line.opcode == AndOutput ? RegisterWriteKind::AndOutput : RegisterWriteKind::OrOutput;
    write.at = run_.now();
    write.line = s.run.currentLine;
    write.value = static_cast<uint32_t>(line.operand);
    // AN@ decides the bits it clears, OR@ the bits it sets; the others keep their story.
    setBits(line.opcode == AndOutput ? ~write.value & pinMask : write.value & pinMask, write);
}

void TimelineRecorder::replyApplied(const MachineState& before, const MachineState& after, const unsigned char*) {
    RegisterWrite write;
    write.kind = RegisterWriteKind::Reply;
    write.at = run_.now();
    write.line = lastCommandLine_;
    write.value = static_cast<uint32_t>(after.outputRegister) & pinMask;
    write.sinceCommand = static_cast<uint32_t>(write.at - lastCommandAt_);
    // The reply to an '@' command echoes the register it sent: a bit it leaves as it was keeps the
    // write that decided it. Any other reply decides every bit.
    const uint32_t changed = static_cast<uint32_t>(before.outputRegister ^ after.outputRegister) & pinMask;
    setBits(lastCommandFromRegister_ ? changed : pinMask, write);
}

uint32_t TimelineRecorder::commitWrite(int bit) {
    const int slot = bitSlot_[bit];
    if (kept_[slot] < 0) {
        record_.writes.push_back(slots_[slot]);
        kept_[slot] = static_cast<int64_t>(record_.writes.size() - 1);
    }
    return static_cast<uint32_t>(kept_[slot]);
}

void TimelineRecorder::pushPinChange(int number, int64_t at, uint32_t level, uint32_t cause) {
    record_.pins[static_cast<size_t>(number)].push_back(SignalChange{at, position_, static_cast<int32_t>(level)});
    record_.pinCauses[static_cast<size_t>(number)].push_back(cause);
}

void TimelineRecorder::outputsChanged(int64_t at, uint32_t outputs) {
    const uint32_t changed = (outputs ^ outputs_) & pinMask;
    outputs_ = outputs;
    if (changed == 0) return;
    OutputCause cause;
    cause.line = lastCommandLine_;
    std::memcpy(cause.frame, lastCommand_, frameLength);
    cause.firstSource = static_cast<uint32_t>(record_.sources.size());
    const bool fromRegister = lastCommandFromRegister_;
    cause.fromRegister = fromRegister;
    const auto index = static_cast<uint32_t>(record_.outputCauses.size());
    for (int bit = 0; bit < pinCount; ++bit) {
        if (((changed >> bit) & 1u) == 0) continue;
        pushPinChange(bit, at, (outputs >> bit) & 1u, index);
        if (fromRegister && bitSlot_[bit] != noSlot) {
            record_.sources.push_back(BitSource{static_cast<uint8_t>(bit), commitWrite(bit)});
            ++cause.sourceCount;
        }
    }
    record_.outputCauses.push_back(cause);
}

void TimelineRecorder::inputsChanged(int64_t at, uint32_t inputs) {
    const uint32_t changed = (inputs ^ inputs_) & pinMask;
    inputs_ = inputs;
    if (changed == 0) return;
    InputCause cause;
    cause.at = at;
    cause.inputs = inputs;
    const size_t delivered = run_.eventsDelivered();
    if (delivered > eventsBefore_) cause.sourceLine = run_.events()[delivered - 1].sourceLine;
    const auto index = static_cast<uint32_t>(record_.inputCauses.size());
    record_.inputCauses.push_back(cause);
    for (int bit = 0; bit < pinCount; ++bit) {
        if (((changed >> bit) & 1u) == 0) continue;
        pushPinChange(pinCount + bit, at, (inputs >> bit) & 1u, index);
    }
}

void TimelineRecorder::boardEvent(const BoardEvent& event) {
    switch (event.kind) {
        case BoardEventKind::Command:
            // The engine writes a command before it moves past its line.
            std::memset(lastCommand_, 0, frameLength);
            std::memcpy(lastCommand_, event.bytes, event.size < frameLength ? event.size : frameLength);
            {
                const Sequencer& s = run_.sequencer();
                lastCommandLine_ = s.run.nextLine;
                // The frame carries the register's digits, not the '@' its line was written with.
                lastCommandFromRegister_ = lastCommandLine_ >= 0 && lastCommandLine_ < s.program.lineCount &&
                                           s.program.lines[lastCommandLine_].text[2] == '@';
            }
            lastCommandAt_ = event.timeMilliseconds;
            ++linesThisDelivery_;
            break;
        case BoardEventKind::Outputs:
            outputsChanged(event.timeMilliseconds, event.value);
            break;
        case BoardEventKind::Inputs:
            inputsChanged(event.timeMilliseconds, event.value);
            break;
        default:
            break;
    }
}

}  // namespace kt57
