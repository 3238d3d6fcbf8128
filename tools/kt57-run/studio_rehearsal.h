// What the rehearsal page asks of a rehearsal: the screen and the state at a chosen moment, steps,
// the signals' changes for the waveform strip, the marks, why a pin has its value, and what-if
// forks. The page's server knows only StudioRehearsal.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "console/text_canvas.h"
#include "platform/headless/headless_event.h"
#include "timeline/pin_why.h"
#include "timeline/rehearsal_inputs.h"
#include "timeline/timeline.h"
#include "tools/kt57-run/expectation.h"

namespace kt57 {

// One visible character of the screen at its canvas cell.
struct ScreenCell {
    int y = 0;         // the band: the y the console drew the text at, in pixels
    int column = 0;    // the 8-pixel cell, as TextCanvas counts them
    int width = 1;     // 2 for a double-byte character, which covers the next column too
    bool red = false;
    std::string text;  // UTF-8, as TextCanvas renders it
};

struct RehearsalMoment {
    int64_t at = 0;                 // the virtual time of the moment, in ms
    uint32_t position = 0;          // messages delivered (timeline.h)
    bool whole = true;              // every message due at \c at delivered: kt57-run --at at prints it
    std::string screen;             // TextCanvas::render(): what kt57-run prints after "screen"
    std::string state;              // formatState's line, without a time
    int32_t line = 0;               // the line being executed, as the screen numbers it; 0: stopped
    std::vector<ScreenCell> cells;  // band by band, left to right; blanks left out
};

// What a rehearsal is made of, as kt57-run's command line names it.
struct RehearsalSource {
    std::string directory;   // holds KT57Data.txt and KT57Mode.txt
    std::string eventsFile;  // empty: no events
    std::string boardSerial;
    int64_t until = 60000;   // the end of the page's time line
};

// The changes of one signal over a span, thinned to what a strip of buckets can show: within a
// bucket only its first and last change are kept, and the bucket is listed as busy when it held
// more. The level at the span's start comes first.
struct SignalTrace {
    Signal signal;
    int32_t initial = 0;
    std::vector<SignalChange> changes;
    std::vector<int64_t> busy;  // the start times of busy buckets
};

// A scripted event on the time line, by what kind of thing it is.
struct EventMark {
    int64_t at = 0;
    const char* kind = "";  // "key", "click", "post", "board", "window"
    std::string line;       // as the events file writes it
    bool whatIf = false;    // added on the page, not in the events file
};

// An expectation of the events file that failed, where it failed.
struct FailedExpectation {
    int64_t at = 0;        // within the page's time line
    std::string finding;   // as kt57-run --test prints it: "FILE:LINE:COL: error: ..."
    bool aboutPin = false; // the finding is about this pin's value at \c at
    PinName pin;
};

struct RehearsalMarks {
    int64_t end = 0;                 // where the rehearsal ended (the window gone, idle) or until
    bool endedEarly = false;
    std::vector<ErrorMark> errorStops;
    std::vector<SignalChange> running;  // where the program started (1) and stopped (0)
    std::vector<EventMark> events;
    bool differs = false;            // after a rebuild: whether the outputs differ from before
    int64_t firstDifference = 0;     // ... and the first moment they do
    size_t expectations = 0;         // in the events file
    std::vector<FailedExpectation> failed;  // by time; an expectation may fail more than once
};

enum class StepKind : uint8_t { Message, Line };

// A program line for the page's own listing.
struct ProgramLineText {
    int32_t label = 0;  // 0: none
    std::string text;   // shownLineText
};

// Why a pin has its value, with each step's program line as the listing holds it.
struct RehearsalWhy {
    PinWhy why;
    std::string text;                    // describePinWhy
    std::vector<std::string> lineTexts;  // beside why.chain
};

// The rehearsal as the page reads it, and the what-if fork: events added at moments, giving a
// rehearsal of their own until they are saved into the events file or dropped.
class StudioRehearsal {
public:
    virtual ~StudioRehearsal() = default;
    // Takes the files as they are on the disk now; a fork is dropped. False, with the line
    // kt57-run would print in error, when a file is refused; the rehearsal then keeps what it had.
    virtual bool rebuild(std::string& error) = 0;
    // The rehearsal at virtual time at. May be asked from several threads at once, as may all.
    virtual RehearsalMoment momentAt(int64_t at) = 0;
    // One message or line forwards (direction 1) or back (-1) from position from.
    virtual RehearsalMoment step(uint32_t from, StepKind kind, int direction) = 0;
    // forked: the rehearsal before the what-if, when there is one (else the current one).
    virtual std::vector<SignalTrace> changes(const std::vector<Signal>& signals, int64_t t0, int64_t t1,
                                             int buckets, bool forked) = 0;
    virtual RehearsalMarks marks() = 0;
    // The time of the pin's last change before at (direction -1) or its next one after (1).
    virtual std::optional<int64_t> changeNear(Signal signal, int64_t at, int direction) = 0;
    virtual RehearsalWhy why(PinName pin, int64_t at) = 0;
    // The program's lines as the tools show them (shownLineText), the first being line 1.
    virtual std::vector<ProgramLineText> programLines() = 0;

    // Adds the event line ("<ms> <event> [args]", the events file's grammar) and rehearses again
    // with it. False, with the parser's message, when the line is refused.
    virtual bool fork(const std::string& line, std::string& error) = 0;
    // The what-if events added so far, as lines; empty when there is no fork.
    virtual std::vector<std::string> forkLines() = 0;
    // Back to the rehearsal before the first what-if.
    virtual void dropFork() = 0;
    // Forgets the rehearsal before the what-if (the page stops greying it); the fork stays.
    virtual void dismissBefore() = 0;
    // Appends the what-if lines to the events file. False with the reason when it cannot.
    virtual bool saveFork(std::string& error) = 0;
};

// Every visible character of the canvas, with its cell.
std::vector<ScreenCell> screenCells(const TextCanvas& canvas);
// The same, given what canvas.render() returns now: a moment renders the canvas once.
std::vector<ScreenCell> screenCells(const TextCanvas& canvas, const std::string& rendered);

// The rehearsal as a timeline, built once per change of its files and asked any moment from
// then on. A timeline answers one question at a time, so one lock serializes them; a rebuild
// builds the new timeline outside the lock and swaps it in.
class TimelineRehearsal : public StudioRehearsal {
public:
    explicit TimelineRehearsal(RehearsalSource source);
    ~TimelineRehearsal() override;
    TimelineRehearsal(const TimelineRehearsal&) = delete;
    TimelineRehearsal& operator=(const TimelineRehearsal&) = delete;

    bool rebuild(std::string& error) override;
    RehearsalMoment momentAt(int64_t at) override;
    RehearsalMoment step(uint32_t from, StepKind kind, int direction) override;
    std::vector<SignalTrace> changes(const std::vector<Signal>& signals, int64_t t0, int64_t t1, int buckets,
                                     bool forked) override;
    RehearsalMarks marks() override;
    std::optional<int64_t> changeNear(Signal signal, int64_t at, int direction) override;
    RehearsalWhy why(PinName pin, int64_t at) override;
    std::vector<ProgramLineText> programLines() override;
    bool fork(const std::string& line, std::string& error) override;
    std::vector<std::string> forkLines() override;
    void dropFork() override;
    void dismissBefore() override;
    bool saveFork(std::string& error) override;

private:
    RehearsalMoment momentOf(Timeline& timeline, HeadlessRun& run);
    // Builds a timeline of inputs and checks the expectations beside it; only one build runs at a
    // time, outside the lock of the answers. Null, with error set, when the rehearsal cannot start.
    std::shared_ptr<Timeline> build(const RehearsalInputs& inputs, const std::vector<Expectation>& expectations,
                                    std::vector<FailedExpectation>& failed, std::string& error);
    void markDifference(const Timeline& before, const Timeline& after);

    RehearsalSource source_;
    std::mutex building_;                   // one build at a time
    std::mutex mutex_;                      // guards what follows
    RehearsalInputs inputs_;                // what the current timeline was built from
    std::shared_ptr<Timeline> timeline_;    // current: the fork when there is one
    std::shared_ptr<Timeline> before_;      // the rehearsal the last what-if left, kept for greying
    std::shared_ptr<Timeline> base_;        // the files' rehearsal while a fork is shown
    RehearsalInputs baseInputs_;
    std::vector<Expectation> expectations_;  // the events file's
    std::vector<FailedExpectation> failed_;  // of the current timeline
    std::vector<FailedExpectation> baseFailed_;
    std::vector<HeadlessEvent> forkEvents_;
    bool differs_ = false;
    int64_t firstDifference_ = 0;
};

}  // namespace kt57
