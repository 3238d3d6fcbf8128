#include "tools/kt57-run/expectation_check.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "device/board_protocol.h"
#include "sequencer/run_control.h"
#include "timeline/scratch_folder.h"
#include "tools/kt57-run/expectation_line.h"

namespace kt57 {

namespace {

std::string sixDigits(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value & pinMask));
    return text;
}

std::string ms(int64_t at) { return std::to_string(at) + " ms"; }

// "rising", "rose" and "rise" for a pin's edge, as a finding says them.
const char* edgeGerund(Edge edge) {
    return edge == Edge::Rise ? "rising" : edge == Edge::Fall ? "falling" : "changing";
}
const char* edgePast(Edge edge) { return edge == Edge::Rise ? "rose" : edge == Edge::Fall ? "fell" : "changed"; }

bool isEdge(Edge edge, bool before, bool after) {
    switch (edge) {
        case Edge::Rise: return !before && after;
        case Edge::Fall: return before && !after;
        case Edge::Change: return before != after;
    }
    return false;
}

// "at 2500 ms", "from 2000 to 4000 ms", "from 2000 ms to the end"; an error kind at one moment
// is "by 2500 ms".
std::string momentsText(const Expectation& e) {
    if (!e.span) return (e.kind == ExpectationKind::Error ? "by " : "at ") + ms(e.to);
    if (e.to == Expectation::openEnd) return "from " + ms(e.from) + " to the end";
    return "from " + std::to_string(e.from) + " to " + ms(e.to);
}

// What was expected, after "expected ".
std::string expectedText(const Expectation& e) {
    switch (e.kind) {
        case ExpectationKind::Pins: {
            if (!e.pins.empty()) {
                std::string text;
                for (const ExpectedPin& pin : e.pins) {
                    text += (text.empty() ? "" : ", ") + pinNameText(pin.pin) + " = " + (pin.value ? "1" : "0");
                }
                return text;
            }
            const bool output = e.port == PinSide::Output;
            std::string text =
                std::string(pinSideWord(e.port)) + " = " + sixDigits(output ? e.outputValue : e.inputValue);
            if (e.masked) text += " under mask " + sixDigits(output ? e.outputMask : e.inputMask);
            return text;
        }
        case ExpectationKind::Reaction:
            return pinNameText(e.response) + " to " + edgeWord(e.responseEdge) + " within " + ms(e.within) + " of " +
                   pinNameText(e.trigger) + " " + edgeGerund(e.triggerEdge);
        case ExpectationKind::Line: return "line " + std::to_string(e.line);
        case ExpectationKind::Running: return "running";
        case ExpectationKind::Stopped: return "stopped";
        case ExpectationKind::Screen: return "\"" + e.screenText + "\" on the screen";
        case ExpectationKind::Error:
            return e.noError ? "no error stop" : std::string("error ") + errorStopName(e.errorStop);
    }
    return "";
}

std::string lead(const Expectation& e) { return "expected " + expectedText(e) + " " + momentsText(e); }

// ", was 0" at one moment, ", was 0 at 3120 ms" over a span.
std::string was(const Expectation& e, const std::string& what, int64_t at) {
    return ", was " + what + (e.span ? " at " + ms(at) : "");
}

bool screenShows(const TextCanvas& canvas, const std::string& text) {
    const std::string rows = canvas.render();
    size_t start = 0;
    while (start < rows.size()) {
        size_t end = rows.find('\n', start);
        if (end == std::string::npos) end = rows.size();
        // "y=<y> " and the row's characters; the "red" lines after a row are no text.
        if (rows.compare(start, 2, "y=") == 0) {
            const size_t characters = rows.find(' ', start);
            if (characters < end && rows.substr(characters + 1, end - characters - 1).find(text) != std::string::npos) {
                return true;
            }
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

ExpectationChecker::ExpectationChecker(const std::vector<Expectation>& expectations, HeadlessRun& run)
    : expectations_(expectations),
      run_(run),
      verdicts_(expectations.size()),
      reactions_(expectations.size()),
      outputs_(run.board().model.outputs),
      inputs_(run.board().model.inputs) {
    for (size_t i = 0; i < expectations.size(); ++i) {
        byStart_.push_back(i);
        const Expectation& e = expectations[i];
        Watch& watch = watches_.emplace_back();
        watch.outputs = e.outputMask;
        watch.inputs = e.inputMask;
        if (e.kind == ExpectationKind::Reaction) {
            for (const PinName pin : {e.trigger, e.response}) {
                (pin.side == PinSide::Output ? watch.outputs : watch.inputs) |= pin.bit();
            }
        }
        watch.line = e.kind == ExpectationKind::Line;
        watch.running = e.kind == ExpectationKind::Running || e.kind == ExpectationKind::Stopped;
        watch.screen = e.kind == ExpectationKind::Screen;
    }
    std::stable_sort(byStart_.begin(), byStart_.end(),
                     [&](size_t a, size_t b) { return expectations[a].from < expectations[b].from; });
}

void ExpectationChecker::errorStopped(ErrorStop stop, int32_t /*line*/) { errors_.push_back({run_.now(), stop}); }

void ExpectationChecker::fail(size_t index, Failure failure) {
    if (failure.column == 0) failure.column = expectations_[index].column;
    verdicts_[index].failures.push_back(std::move(failure));
    verdicts_[index].decided = true;
}

void ExpectationChecker::settled(int64_t next) {
    const BoardModel& board = run_.board().model;
    const Sequencer& sequencer = run_.sequencer();
    const int64_t now = run_.now();
    const Look look{now, std::max(next, now + 1), board.outputs, board.inputs, board.outputs ^ outputs_,
                    board.inputs ^ inputs_};
    outputs_ = look.outputs;
    inputs_ = look.inputs;
    bool begun = false;
    for (; started_ < byStart_.size() && expectations_[byStart_[started_]].from < look.next; ++started_) {
        const size_t index = byStart_[started_];
        // Judged at its first look.
        active_.push_back({index, watches_[index], std::numeric_limits<int64_t>::min()});
        watched_.add(watches_[index]);
        begun = true;
    }
    const Seen seen{look.outputs, look.inputs, executingLineNumber(sequencer.run, sequencer.program.lineCount),
                    watched_.screen ? run_.canvas().drawCount() : 0};
    const Changes changes{seen.outputs ^ seen_.outputs, seen.inputs ^ seen_.inputs, seen.line != seen_.line,
                          (seen.line != 0) != (seen_.line != 0), seen.draws != seen_.draws};
    // Most looks find what the last full one found of all the active expectations read, with no
    // moment of one beginning or ending in between: none can change its verdict then, so the ticks
    // of a long rehearsal stay cheap. A full look judges only the expectations it concerns.
    if (!begun && !changes.touch(watched_) && look.next <= attention_) return;
    seen_ = seen;
    int64_t attention = Expectation::openEnd;  // kept in a register through the loop
    bool left = false;
    for (size_t i = 0; i < active_.size();) {
        Active& active = active_[i];
        if (look.next > active.decideBy || changes.touch(active.watch)) {
            if (judge(active.index, look)) {
                verdicts_[active.index].decided = true;
                // The order of the rest does not matter.
                active = active_.back();
                active_.pop_back();
                left = true;
                continue;
            }
            // The first trigger still waiting is the earliest: they are kept in time order.
            const Expectation& e = expectations_[active.index];
            const std::vector<int64_t>& waiting = reactions_[active.index].waiting;
            active.decideBy = waiting.empty() ? e.to : std::min(e.to, waiting.front() + e.within);
        }
        attention = std::min(attention, active.decideBy);
        ++i;
    }
    attention_ = attention;
    if (left) {
        watched_ = {};
        for (const Active& active : active_) watched_.add(active.watch);
    }
    if (watched_.screen) seen_.draws = run_.canvas().drawCount();
}

bool ExpectationChecker::judge(size_t index, const Look& look) {
    const Expectation& e = expectations_[index];
    switch (e.kind) {
        case ExpectationKind::Reaction: return judgeReaction(index, look);
        case ExpectationKind::Error:
            if (e.to >= look.next) return false;
            judgeErrors(index);
            return true;
        default: return judgeState(index, look);
    }
}

bool ExpectationChecker::judgeState(size_t index, const Look& look) {
    const Expectation& e = expectations_[index];
    const int64_t at = std::max(look.now, e.from);
    const Sequencer& sequencer = run_.sequencer();
    const int32_t line = executingLineNumber(sequencer.run, sequencer.program.lineCount);  // 0: stopped
    // Only a failure spells out what the run showed.
    const auto shown = [&](bool withRunning) {
        return line == 0 ? std::string("stopped") : (withRunning ? "running line " : "line ") + std::to_string(line);
    };
    const size_t before = verdicts_[index].failures.size();
    switch (e.kind) {
        case ExpectationKind::Pins:
            if ((look.outputs & e.outputMask) == e.outputValue && (look.inputs & e.inputMask) == e.inputValue) break;
            if (e.pins.empty()) {
                const uint32_t pins =
                    e.port == PinSide::Output ? look.outputs & e.outputMask : look.inputs & e.inputMask;
                fail(index, {0, lead(e) + was(e, sixDigits(pins), at), false, {}, at});
                break;
            }
            for (const ExpectedPin& pin : e.pins) {
                const bool value =
                    ((pin.pin.side == PinSide::Output ? look.outputs : look.inputs) & pin.pin.bit()) != 0;
                if (value == pin.value) continue;
                const std::string expected = "expected " + pinNameText(pin.pin) + " = " + (pin.value ? "1 " : "0 ");
                fail(index, {pin.column, expected + momentsText(e) + was(e, value ? "1" : "0", at), true, pin.pin, at});
            }
            break;
        case ExpectationKind::Line:
            if (line != e.line) fail(index, {0, lead(e) + was(e, shown(false), at), false, {}, at});
            break;
        case ExpectationKind::Running:
            if (line == 0) fail(index, {0, lead(e) + was(e, shown(true), at), false, {}, at});
            break;
        case ExpectationKind::Stopped:
            if (line != 0) fail(index, {0, lead(e) + was(e, shown(true), at), false, {}, at});
            break;
        case ExpectationKind::Screen:
            if (!screenShows(run_.canvas(), e.screenText)) {
                fail(index, {0, lead(e) + ", it was not there" + (e.span ? " at " + ms(at) : ""), false, {}, at});
            }
            break;
        case ExpectationKind::Reaction:
        case ExpectationKind::Error: break;
    }
    return verdicts_[index].failures.size() != before || e.to < look.next;
}

bool ExpectationChecker::judgeReaction(size_t index, const Look& look) {
    const Expectation& e = expectations_[index];
    Reaction& reaction = reactions_[index];
    // A trigger whose time ran out before this look went unanswered: nothing changed in between.
    if (!reaction.waiting.empty() && reaction.waiting.front() + e.within < look.now) {
        unanswered(index, reaction.waiting.front(), Cut::No, "");
        return true;
    }
    const auto edge = [&](PinName pin, Edge kind) {
        const bool output = pin.side == PinSide::Output;
        const uint32_t now = output ? look.outputs : look.inputs;
        const uint32_t changes = output ? look.outputChanges : look.inputChanges;
        return isEdge(kind, ((now ^ changes) & pin.bit()) != 0, (now & pin.bit()) != 0);
    };
    if (look.now >= e.from && look.now <= e.to && edge(e.trigger, e.triggerEdge)) {
        reaction.waiting.push_back(look.now);
        ++reaction.triggers;
    }
    if (edge(e.response, e.responseEdge)) reaction.waiting.clear();
    if (e.to >= look.next || !reaction.waiting.empty()) return false;
    if (reaction.triggers == 0) {
        fail(index, {0, lead(e) + "; " + pinNameText(e.trigger) + " never " + edgePast(e.triggerEdge), false, {}, e.to});
    }
    return true;
}

void ExpectationChecker::judgeErrors(size_t index) {
    const Expectation& e = expectations_[index];
    for (const ErrorAt& error : errors_) {
        if (error.at < e.from || error.at > e.to) continue;
        if (e.noError) {
            fail(
                index,
                {0, lead(e) + ", was error " + errorStopName(error.stop) + " at " + ms(error.at), false, {}, error.at});
            return;
        }
        if (error.stop == e.errorStop) return;
    }
    if (!e.noError) fail(index, {0, lead(e) + ", there was none", false, {}, e.to});
}

void ExpectationChecker::unanswered(size_t index, int64_t trigger, Cut cut, const std::string& ended) {
    const Expectation& e = expectations_[index];
    const int64_t deadline = trigger + e.within;
    const std::string response = pinNameText(e.response);
    std::string message =
        lead(e) + "; " + pinNameText(e.trigger) + " " + edgePast(e.triggerEdge) + " at " + ms(trigger) + " and ";
    switch (cut) {
        case Cut::No: message += response + " did not " + edgeWord(e.responseEdge) + " by " + ms(deadline); break;
        case Cut::ForGood: message += response + " never " + edgePast(e.responseEdge); break;
        case Cut::ByUntil: message += ended + " before " + response + " " + edgePast(e.responseEdge); break;
    }
    fail(index, {0, message, true, e.response, deadline});
}

void ExpectationChecker::notReached(size_t index, const std::string& why) {
    const Expectation& e = expectations_[index];
    fail(index, {1, lead(e) + "; " + why, false, {}, e.to});
}

void ExpectationChecker::finish(RunEnd end, int64_t until) {
    if (end == RunEnd::Final) settled(Expectation::openEnd);
    const int64_t last = std::max(until, run_.now());
    const std::string ended = "the rehearsal ended at " + ms(last) + " (--until)";
    // What began and could still change: open spans end here; past --until nothing is known.
    for (const Active& active : active_) {
        const size_t index = active.index;
        const Expectation& e = expectations_[index];
        Verdict& verdict = verdicts_[index];
        verdict.decided = true;
        if (e.kind == ExpectationKind::Reaction) {
            Reaction& reaction = reactions_[index];
            // A span to the end ends with the rehearsal: an answer due after --until is not judged.
            if (end == RunEnd::Until && e.to == Expectation::openEnd) {
                std::erase_if(reaction.waiting, [&](int64_t trigger) { return trigger + e.within > last; });
            }
            if (!reaction.waiting.empty()) {
                // Its time ran out within the run, or the run ended first: for good, or at --until.
                const int64_t trigger = reaction.waiting.front();
                const bool cutShort = trigger + e.within > last;
                const Cut cut = !cutShort ? Cut::No : end == RunEnd::Until ? Cut::ByUntil : Cut::ForGood;
                unanswered(index, trigger, cut, ended);
            } else if (end == RunEnd::Until && e.to != Expectation::openEnd) {
                notReached(index, ended);
            } else if (reaction.triggers == 0) {
                fail(index, {0,
                             lead(e) + "; " + pinNameText(e.trigger) + " never " + edgePast(e.triggerEdge),
                             false,
                             {},
                             last});
            }
            continue;
        }
        if (end == RunEnd::Until && e.to != Expectation::openEnd) {
            notReached(index, ended);
        } else if (e.kind == ExpectationKind::Error) {
            judgeErrors(index);
        }
    }
    active_.clear();
    for (; started_ < byStart_.size(); ++started_) notReached(byStart_[started_], ended);
}

RunEnd rehearseChecked(HeadlessRun& run, ExpectationChecker& checker, int64_t until) {
    run.start();
    // The same ends as the plain rehearsal's: the window's destruction, nothing more to happen,
    // or --until.
    for (;;) {
        if (run.finished() || run.idle()) {
            checker.finish(RunEnd::Final, until);
            return RunEnd::Final;
        }
        const int64_t due = run.nextDue();
        if (due > run.now()) checker.settled(std::min(due, until + 1));
        if (!run.step(until)) {
            checker.finish(RunEnd::Until, until);
            return RunEnd::Until;
        }
    }
}

bool checkExpectations(const RehearsalInputs& inputs, const std::vector<Expectation>& expectations,
                       std::vector<Verdict>& verdicts, std::string& error) {
    const ScratchFolder folder("kt57-run-test");
    if (!folder.error().empty()) {
        error = folder.error();
        return false;
    }
    if (!writeRehearsalFolder(inputs, folder.path(), error)) return false;
    HeadlessRun run({folder.path(), inputs.boardSerial});
    ExpectationChecker checker(expectations, run);
    run.setObserver(&checker);
    for (const HeadlessEvent& event : inputs.events) run.post(event);
    rehearseChecked(run, checker, inputs.until);
    verdicts = checker.verdicts();
    return true;
}

}  // namespace kt57
