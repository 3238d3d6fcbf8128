#include "tools/kt57-run/lines_trace.h"

#include <cstdio>

#include "device/board_protocol.h"
#include "sequencer/line_text.h"
#include "sequencer/opcode.h"
#include "sequencer/run_control.h"

namespace kt57 {

namespace {

// The registers that differ, as the state line names and writes them.
std::string changes(const MachineState& before, const MachineState& after) {
    const struct {
        const char* name;
        int32_t MachineState::*field;
        bool hex;
    } registers[] = {
        {"in", &MachineState::inputRegister, true},    {"out", &MachineState::outputRegister, true},
        {"pol", &MachineState::polarityMask, true},    {"flags", &MachineState::flagRegister, true},
        {"cond", &MachineState::conditionFlag, false}, {"loop", &MachineState::loopCounter, false},
    };
    std::string text;
    for (const auto& r : registers) {
        const int32_t value = after.*r.field;
        if (before.*r.field == value) continue;
        char field[32];
        const unsigned digits = static_cast<unsigned>(value) & pinMask;
        if (r.hex) std::snprintf(field, sizeof field, " %s=%06X", r.name, digits);
        else std::snprintf(field, sizeof field, " %s=%d", r.name, value);
        text += field;
    }
    return text;
}

// "line 9 R0000000" or "reply 9 R0000000": the number as the screen shows it, the text as the
// listing does, blanks at its end cut, bytes outside ASCII escaped as in frames.
std::string lineHead(const char* kind, const ProgramStore& program, int32_t line) {
    std::string head = kind;
    head += ' ';
    head += std::to_string(shownLineNumber(line));
    const std::string text = shownLineText(program, line);
    if (!text.empty()) {
        head += ' ';
        head += text;
    }
    return head;
}

// The effects, after a colon; the head alone when there are none.
std::string withEffects(std::string head, const std::string& effects) {
    if (effects.empty()) return head;
    return head + ":" + effects;
}

}  // namespace

LinesTrace::LinesTrace(TraceWriter& trace, const Sequencer& sequencer, RunObserver& inner)
    : trace_(trace), sequencer_(sequencer), inner_(inner), seen_(sequencer.machine) {}

void LinesTrace::lineExecuted(LineOutcome outcome) {
    inner_.lineExecuted(outcome);
    const ProgramStore& program = sequencer_.program;
    const RunControl& run = sequencer_.run;
    const int32_t line = run.currentLine;
    if (line < 0 || line >= program.lineCount) return;  // the end of the program: nothing ran
    // Control came back: the pass before is complete.
    if (line <= lastLine_) endPass();
    lastLine_ = line;

    const std::string registers = changes(seen_, sequencer_.machine);
    seen_ = sequencer_.machine;
    std::string effects;
    const OpCodeInfo* info = findOpCodeInfo(program.lines[line].opcode);
    switch (outcome) {
        case LineOutcome::DeviceCommand: effects = " command"; break;
        case LineOutcome::Skipped: effects = " skipped"; break;
        case LineOutcome::SleepStarted: effects = " sleep=" + std::to_string(run.sleepTicks); break;
        case LineOutcome::Executed:
            if (info != nullptr && info->kind == OperandKind::Target) {
                const int32_t target = program.lines[line].target;
                if (run.nextLine != target) {
                    effects = " no jump";
                } else if (target >= program.lineCount) {
                    effects = " jump to the end";
                } else {
                    effects = " jump to " + std::to_string(shownLineNumber(target));
                }
            }
            break;
    }
    trace(withEffects(lineHead("line", program, line), effects + registers), registers.empty());
}

void LinesTrace::replyApplied(const MachineState& before, const MachineState& after, const unsigned char* frame) {
    inner_.replyApplied(before, after, frame);
    const int32_t line = sequencer_.run.currentLine;  // the command stays current while its reply is awaited
    const std::string registers = changes(before, after);
    seen_ = after;
    if (line < 0 || line >= sequencer_.program.lineCount) return;
    trace(withEffects(lineHead("reply", sequencer_.program, line), registers), registers.empty());
}

void LinesTrace::trace(const std::string& record, bool quiet) {
    currentPass_.push_back(record);
    currentQuiet_ = currentQuiet_ && quiet;
    if (matching_ && quiet && matched_ < previousPass_.size() && previousPass_[matched_] == record) {
        ++matched_;
        ++folded_;
        return;
    }
    matching_ = false;
    finish();
    trace_.line(record);
}

void LinesTrace::endPass() {
    const bool repeated = matching_ && matched_ == previousPass_.size();
    if (!repeated) {
        previousPass_.swap(currentPass_);
        previousQuiet_ = currentQuiet_;
    }
    currentPass_.clear();
    currentQuiet_ = true;
    matching_ = previousQuiet_ && !previousPass_.empty();
    matched_ = 0;
}

void LinesTrace::finish() {
    if (folded_ == 0) return;
    trace_.line("folded " + std::to_string(folded_));
    folded_ = 0;
}

}  // namespace kt57
