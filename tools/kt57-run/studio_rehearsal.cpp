#include "tools/kt57-run/studio_rehearsal.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include "platform/headless/headless_run.h"
#include "sequencer/line_text.h"
#include "tools/common/bounded_file.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/events_writer.h"
#include "tools/kt57-run/expectation_check.h"
#include "tools/kt57-run/finding.h"
#include "tools/kt57-run/moment_queries.h"
#include "tools/kt57-run/run_trace.h"

namespace kt57 {
namespace {

namespace fs = std::filesystem;

// The length in bytes of the UTF-8 character that starts with lead.
size_t characterLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    return 2;
}

// The bands' y values, in the order render() lists them.
std::vector<int> bandsOf(const std::string& rendered) {
    std::vector<int> bands;
    std::istringstream lines(rendered);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("y=", 0) == 0) bands.push_back(std::stoi(line.substr(2)));
    }
    return bands;
}



}  // namespace

std::vector<ScreenCell> screenCells(const TextCanvas& canvas) { return screenCells(canvas, canvas.render()); }

std::vector<ScreenCell> screenCells(const TextCanvas& canvas, const std::string& rendered) {
    std::vector<ScreenCell> cells;
    for (const int y : bandsOf(rendered)) {
        // The band's text holds one character per cell up to its last visible one, a whole pair
        // once: walking it visits every cell that holds something.
        const std::string text = canvas.bandText(y);
        int column = 0;
        for (size_t at = 0; at < text.size(); ++column) {
            const size_t length = characterLength(static_cast<unsigned char>(text[at]));
            ScreenCell cell;
            cell.y = y;
            cell.column = column;
            cell.text = text.substr(at, length);
            at += length;
            if (canvas.cellText(y, column + 1).empty()) {
                cell.width = 2;
                ++column;
            }
            cell.red = canvas.cellIsRed(y, cell.column);
            if (cell.text != " ") cells.push_back(std::move(cell));
        }
    }
    return cells;
}

namespace {

const char* markKind(HeadlessEventKind kind) {
    switch (kind) {
        case HeadlessEventKind::Key: return "key";
        case HeadlessEventKind::Click:
        case HeadlessEventKind::DoubleClick: return "click";
        case HeadlessEventKind::Post: return "post";
        case HeadlessEventKind::Paint:
        case HeadlessEventKind::Menu:
        case HeadlessEventKind::Close: return "window";
        case HeadlessEventKind::Screen:
        case HeadlessEventKind::State: return "";
        default: return "board";
    }
}

// The first moment at which two lists of a pin's changes part, or -1 when they never do.
int64_t firstParting(const std::vector<SignalChange>& a, const std::vector<SignalChange>& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        if (a[i].at != b[i].at || a[i].value != b[i].value) return std::min(a[i].at, b[i].at);
    }
    if (a.size() == b.size()) return -1;
    return a.size() > common ? a[common].at : b[common].at;
}

SignalTrace traceOf(const Timeline& timeline, Signal signal, int64_t t0, int64_t t1, int buckets) {
    SignalTrace trace;
    trace.signal = signal;
    trace.initial = timeline.valueAt(signal, t0);
    const std::vector<SignalChange> all = timeline.changes(signal, t0, t1);
    const int64_t span = std::max<int64_t>(1, t1 - t0 + 1);
    size_t kept = 0;       // changes of the bucket being filled
    int64_t bucket = -1;
    for (const SignalChange& change : all) {
        if (change.at <= t0) {
            trace.initial = change.value;
            continue;
        }
        const int64_t at = (change.at - t0) * buckets / span;
        if (at != bucket) {
            bucket = at;
            kept = 0;
        }
        if (kept < 2) {
            trace.changes.push_back(change);
        } else {
            trace.changes.back() = change;  // the bucket's last change so far
            if (kept == 2) trace.busy.push_back(t0 + bucket * span / buckets);
        }
        ++kept;
    }
    return trace;
}

}  // namespace

TimelineRehearsal::TimelineRehearsal(RehearsalSource source) : source_(std::move(source)) {}

TimelineRehearsal::~TimelineRehearsal() = default;

std::shared_ptr<Timeline> TimelineRehearsal::build(const RehearsalInputs& inputs,
                                                   const std::vector<Expectation>& expectations,
                                                   std::vector<FailedExpectation>& failed, std::string& error) {
    // The expectations are checked on a run of their own, beside the timeline's.
    std::vector<Verdict> verdicts;
    std::string checkError;
    bool checked = true;
    std::thread checking;
    if (!expectations.empty()) {
        checking = std::thread([&] { checked = checkExpectations(inputs, expectations, verdicts, checkError); });
    }
    auto timeline = std::make_shared<Timeline>();
    const bool built = timeline->build(inputs, error);
    if (checking.joinable()) checking.join();
    if (!built) return nullptr;
    if (!checked) {
        error = checkError;
        return nullptr;
    }
    failed.clear();
    for (size_t i = 0; i < verdicts.size(); ++i) {
        for (const Failure& failure : verdicts[i].failures) {
            std::string finding = findingText(source_.eventsFile, expectations[i], failure);
            if (!finding.empty() && finding.back() == '\n') finding.pop_back();
            // An open span fails at its end: the page's time line ends at until.
            const int64_t at = std::clamp<int64_t>(failure.at, 0, inputs.until);
            failed.push_back(FailedExpectation{at, std::move(finding), failure.aboutPin, failure.pin});
        }
    }
    std::stable_sort(failed.begin(), failed.end(),
                     [](const FailedExpectation& a, const FailedExpectation& b) { return a.at < b.at; });
    return timeline;
}

void TimelineRehearsal::markDifference(const Timeline& before, const Timeline& after) {
    differs_ = false;
    for (int pin = 0; pin < pinCount; ++pin) {
        const int64_t parting = firstParting(before.record().pins[static_cast<size_t>(pin)],
                                             after.record().pins[static_cast<size_t>(pin)]);
        if (parting >= 0 && (!differs_ || parting < firstDifference_)) {
            differs_ = true;
            firstDifference_ = parting;
        }
    }
}

bool TimelineRehearsal::rebuild(std::string& error) {
    const std::lock_guard building(building_);
    RehearsalInputs inputs;
    inputs.boardSerial = source_.boardSerial;
    inputs.until = source_.until;
    EventsFile file;
    if (!source_.eventsFile.empty() && !readEventsFile(source_.eventsFile, file, error)) return false;
    inputs.events = std::move(file.events);
    if (!readRehearsalFiles(source_.directory, inputs, error)) return false;
    std::vector<FailedExpectation> failed;
    std::shared_ptr<Timeline> timeline = build(inputs, file.expectations, failed, error);
    if (!timeline) return false;
    const std::lock_guard lock(mutex_);
    if (timeline_) markDifference(*timeline_, *timeline);
    timeline_ = std::move(timeline);
    inputs_ = std::move(inputs);
    expectations_ = std::move(file.expectations);
    failed_ = std::move(failed);
    base_.reset();
    before_.reset();
    forkEvents_.clear();
    return true;
}

RehearsalMoment TimelineRehearsal::momentOf(Timeline& timeline, HeadlessRun& run) {
    RehearsalMoment moment;
    moment.at = run.now();
    moment.position = timeline.position();
    moment.whole = timeline.positionAt(moment.at) == moment.position;
    moment.screen = run.canvas().render();
    moment.state = formatState(run.sequencer());
    const Sequencer& sequencer = run.sequencer();
    moment.line = executingLineNumber(sequencer.run, sequencer.program.lineCount);
    moment.cells = screenCells(run.canvas(), moment.screen);
    return moment;
}

RehearsalMoment TimelineRehearsal::momentAt(int64_t at) {
    const std::lock_guard lock(mutex_);
    RehearsalMoment moment = momentOf(*timeline_, timeline_->seek(at));
    moment.whole = true;
    return moment;
}

RehearsalMoment TimelineRehearsal::step(uint32_t from, StepKind kind, int direction) {
    const std::lock_guard lock(mutex_);
    Timeline& timeline = *timeline_;
    timeline.seekPosition(std::min(from, timeline.messageCount()));
    HeadlessRun& run = kind == StepKind::Message ? timeline.stepMessage(direction) : timeline.stepLine(direction);
    return momentOf(timeline, run);
}

std::vector<SignalTrace> TimelineRehearsal::changes(const std::vector<Signal>& signals, int64_t t0, int64_t t1,
                                                    int buckets, bool forked) {
    const std::lock_guard lock(mutex_);
    std::vector<SignalTrace> traces;
    const Timeline* timeline = forked ? before_.get() : timeline_.get();
    if (timeline == nullptr) return traces;
    for (const Signal& signal : signals) traces.push_back(traceOf(*timeline, signal, t0, t1, std::max(buckets, 1)));
    return traces;
}

RehearsalMarks TimelineRehearsal::marks() {
    const std::lock_guard lock(mutex_);
    const Timeline& timeline = *timeline_;
    RehearsalMarks marks;
    marks.endedEarly = timeline.endedEarly();
    marks.end = timeline.endedEarly() ? timeline.endTime() : timeline.until();
    marks.errorStops = timeline.record().errorStops;
    marks.running = timeline.record().running;
    const size_t scripted = inputs_.events.size() - forkEvents_.size();
    for (size_t i = 0; i < inputs_.events.size(); ++i) {
        const HeadlessEvent& event = inputs_.events[i];
        const char* kind = markKind(event.kind);
        if (*kind == '\0') continue;
        marks.events.push_back(EventMark{event.at, kind, eventLine(event), i >= scripted});
    }
    std::stable_sort(marks.events.begin(), marks.events.end(),
                     [](const EventMark& a, const EventMark& b) { return a.at < b.at; });
    marks.differs = differs_;
    marks.firstDifference = firstDifference_;
    marks.expectations = expectations_.size();
    marks.failed = failed_;
    return marks;
}

std::optional<int64_t> TimelineRehearsal::changeNear(Signal signal, int64_t at, int direction) {
    const std::lock_guard lock(mutex_);
    const Timeline& timeline = *timeline_;
    if (direction > 0) {
        const SignalChange* next = timeline.nextChange(signal, at);
        if (next == nullptr) return std::nullopt;
        return next->at;
    }
    // The last change at or before at, or before that when the cursor stands on it.
    const SignalChange* last = timeline.lastChange(signal, at);
    while (last != nullptr && last->at >= at) {
        if (last->at == 0) return std::nullopt;
        last = timeline.lastChange(signal, last->at - 1);
    }
    if (last == nullptr) return std::nullopt;
    return last->at;
}

RehearsalWhy TimelineRehearsal::why(PinName pin, int64_t at) {
    const std::lock_guard lock(mutex_);
    const Timeline& timeline = *timeline_;
    RehearsalWhy why;
    why.why = explainPin(timeline, pin, at);
    why.text = describePinWhy(timeline, why.why);
    for (const WhyStep& step : why.why.chain) why.lineTexts.push_back(shownLineText(timeline.program(), step.line));
    return why;
}

std::vector<ProgramLineText> TimelineRehearsal::programLines() {
    const std::lock_guard lock(mutex_);
    const ProgramStore& program = timeline_->program();
    std::vector<ProgramLineText> lines;
    for (int32_t line = 0; line < program.lineCount; ++line) {
        lines.push_back({program.lines[line].label, shownLineText(program, line)});
    }
    return lines;
}

bool TimelineRehearsal::fork(const std::string& line, std::string& error) {
    const std::lock_guard building(building_);
    std::vector<HeadlessEvent> added;
    if (!parseEvents(line, "what-if", added, error)) return false;
    if (added.size() != 1) {
        error = "what-if: one event, as a line of the events file";
        return false;
    }
    HeadlessEvent event = added.front();
    event.sourceLine = 0;  // in no file yet
    RehearsalInputs inputs;
    std::vector<Expectation> expectations;
    {
        const std::lock_guard lock(mutex_);
        if (event.at > inputs_.until) {
            error = "what-if: after the rehearsal's end at " + std::to_string(inputs_.until) + " ms";
            return false;
        }
        inputs = inputs_;
        expectations = expectations_;
    }
    inputs.events.push_back(event);
    std::vector<FailedExpectation> failed;
    std::shared_ptr<Timeline> timeline = build(inputs, expectations, failed, error);
    if (!timeline) return false;
    const std::lock_guard lock(mutex_);
    if (!base_) {
        base_ = timeline_;
        baseInputs_ = inputs_;
        baseFailed_ = failed_;
    }
    failed_ = std::move(failed);
    markDifference(*timeline_, *timeline);
    before_ = std::move(timeline_);
    timeline_ = std::move(timeline);
    inputs_ = std::move(inputs);
    forkEvents_.push_back(event);
    return true;
}

std::vector<std::string> TimelineRehearsal::forkLines() {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> lines;
    for (const HeadlessEvent& event : forkEvents_) lines.push_back(eventLine(event));
    return lines;
}

void TimelineRehearsal::dropFork() {
    const std::lock_guard lock(mutex_);
    if (!base_) return;
    timeline_ = std::move(base_);
    inputs_ = std::move(baseInputs_);
    failed_ = std::move(baseFailed_);
    before_.reset();
    forkEvents_.clear();
    differs_ = false;
}

void TimelineRehearsal::dismissBefore() {
    const std::lock_guard lock(mutex_);
    before_.reset();
}

bool TimelineRehearsal::saveFork(std::string& error) {
    const std::vector<std::string> lines = forkLines();
    if (lines.empty()) {
        error = "no what-if to save";
        return false;
    }
    if (source_.eventsFile.empty()) {
        error = "no events file to save into: start kt57-run --studio with --events FILE";
        return false;
    }
    std::string text;
    std::string why;
    if (readBoundedFile(source_.eventsFile.c_str(), text, why) != FileReadResult::Read) {
        error = source_.eventsFile + ": cannot be read" + (why.empty() ? "" : ": " + why);
        return false;
    }
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += "# what-if, from the rehearsal page\n";
    for (const std::string& line : lines) text += line + "\n";
    // A whole new file renamed over the old: the watch never sees half of it.
    const std::string written = source_.eventsFile + ".new";
    {
        std::ofstream out(written, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            error = written + ": cannot be written";
            return false;
        }
    }
    std::error_code renamed;
    fs::rename(written, source_.eventsFile, renamed);
    if (renamed) {
        error = source_.eventsFile + ": " + renamed.message();
        return false;
    }
    return true;
}

}  // namespace kt57
