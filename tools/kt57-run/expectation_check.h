// Checking a rehearsal against its expectations while it runs. The checker looks at the run each
// time a millisecond is over, when nothing more is due at it: what the run shows then holds until
// the next event or tick, so every moment is judged without looking at every millisecond.
//
// What holds at moment T is what the run shows once everything due at T has been delivered. A
// moment inside a blocking wait (start-up's first second, a release) sees the state the wait ends
// in. Pins are the virtual board's; an edge is a change between two looks, stamped with the later.
// After the run's end the last state holds for good when nothing more could happen; past --until
// nothing is known, so what is still open then fails as not reached.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/run_observer.h"
#include "platform/headless/headless_run.h"
#include "timeline/rehearsal_inputs.h"
#include "tools/kt57-run/expectation.h"

namespace kt57 {

// One way an expectation failed: a finding.
struct Failure {
    int column = 0;       // in the events file's line, from 1
    std::string message;  // "expected out3 = 1 at 2500 ms, was 0"
    // The pin that was wrong and the moment it was, for a finding that explains the pin's value.
    bool aboutPin = false;
    PinName pin;
    int64_t at = 0;
};

struct Verdict {
    bool decided = false;
    std::vector<Failure> failures;  // none: the expectation held
    bool held() const { return decided && failures.empty(); }
};

enum class RunEnd : uint8_t {
    Final,  // the window is gone or nothing more can happen: the last state holds for good
    Until,  // --until stopped it
};

class ExpectationChecker : public RunObserver {
public:
    // Takes the pins as they are now, before the run starts, as the first state edges are seen from.
    ExpectationChecker(const std::vector<Expectation>& expectations, HeadlessRun& run);

    // The run has settled at its clock's time; what it shows holds until next (exclusive).
    void settled(int64_t next);
    // The run ended at its clock's time (the clock stands at or past until for RunEnd::Until);
    // decides what is still open.
    void finish(RunEnd end, int64_t until);

    const std::vector<Verdict>& verdicts() const { return verdicts_; }

    void errorStopped(ErrorStop stop, int32_t line) override;

private:
    // What an expectation reads of the run, or all the active ones together.
    struct Watch {
        uint32_t outputs = 0;
        uint32_t inputs = 0;
        bool line = false;     // the line number
        bool running = false;  // whether the program runs
        bool screen = false;
        void add(const Watch& other) {
            outputs |= other.outputs;
            inputs |= other.inputs;
            line = line || other.line;
            running = running || other.running;
            screen = screen || other.screen;
        }
    };
    // What a full look saw.
    struct Seen {
        uint32_t outputs = 0;
        uint32_t inputs = 0;
        int32_t line = -1;  // as executingLineNumber: 0 while stopped
        long draws = 0;     // the screen's, while an active expectation reads it
    };
    // What differs from the last full look.
    struct Changes {
        uint32_t outputs;
        uint32_t inputs;
        bool line;
        bool running;
        bool screen;
        bool touch(const Watch& watch) const {
            return (outputs & watch.outputs) != 0 || (inputs & watch.inputs) != 0 || (line && watch.line) ||
                   (running && watch.running) || (screen && watch.screen);
        }
    };
    // An expectation whose moments have begun and which is not decided yet.
    struct Active {
        size_t index;
        Watch watch;
        int64_t decideBy;  // the first moment at which it may be decided, unless a change it reads comes first
    };
    // The state of one look, and how its pins differ from the look before.
    struct Look {
        int64_t now;
        int64_t next;
        uint32_t outputs;
        uint32_t inputs;
        uint32_t outputChanges;
        uint32_t inputChanges;
    };
    struct Reaction {
        std::vector<int64_t> waiting;  // trigger edges not answered yet
        int triggers = 0;
    };
    struct ErrorAt {
        int64_t at;
        ErrorStop stop;
    };
    // How a reaction's time ended: within the run, or with the run, for good or at --until.
    enum class Cut : uint8_t { No, ForGood, ByUntil };

    // True when the expectation is decided.
    bool judge(size_t index, const Look& look);
    bool judgeState(size_t index, const Look& look);
    bool judgeReaction(size_t index, const Look& look);
    void judgeErrors(size_t index);
    void fail(size_t index, Failure failure);
    // A trigger edge at trigger went unanswered; ended says how the run ended, for ByUntil.
    void unanswered(size_t index, int64_t trigger, Cut cut, const std::string& ended);
    void notReached(size_t index, const std::string& why);

    const std::vector<Expectation>& expectations_;
    HeadlessRun& run_;
    std::vector<Verdict> verdicts_;
    std::vector<Watch> watches_;       // one for each expectation
    std::vector<Reaction> reactions_;  // one for each expectation, used by the reactions
    std::vector<size_t> byStart_;      // indices by their first moment
    size_t started_ = 0;               // byStart_[0, started_) have begun
    std::vector<Active> active_;
    Watch watched_;          // by the active ones
    Seen seen_;              // at the last full look
    int64_t attention_ = 0;  // the earliest decideBy of the active ones
    uint32_t outputs_;       // the pins at the last look
    uint32_t inputs_;
    std::vector<ErrorAt> errors_;
};

// Starts run and runs it to the end kt57-run's plain rehearsal has, at most to until, with
// checker looking at every settled moment; returns how it ended. The run's observer must pass
// error stops on to checker.
RunEnd rehearseChecked(HeadlessRun& run, ExpectationChecker& checker, int64_t until);

// Rehearses inputs in a scratch folder of its own, as kt57-run's plain rehearsal would, and gives
// each expectation's verdict. False, with error set, when the rehearsal cannot start.
bool checkExpectations(const RehearsalInputs& inputs, const std::vector<Expectation>& expectations,
                       std::vector<Verdict>& verdicts, std::string& error);

}  // namespace kt57
