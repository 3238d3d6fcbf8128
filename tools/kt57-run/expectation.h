// One expectation of an events file: what must hold of a rehearsal, and when. kt57-run --test
// checks them; a plain rehearsal reads them and sets them aside. The words are in docs/kt57-run.md.
#pragma once
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "board/pin_name.h"
#include "engine/run_observer.h"

namespace kt57 {

enum class ExpectationKind : uint8_t {
    Pins,      // "out3 1 in0 0", "out 000021 mask 0000FF": the pins under the masks hold the values
    Reaction,  // "out5 rise within 50 after in3 rise": each trigger edge is answered in time
    Line,      // "line 18": the program runs that line, as the screen numbers it
    Running,   // the program runs (it may sleep or wait for a reply or for Enter)
    Stopped,
    Screen,    // "screen TEXT": one row of the screen holds the text
    Error,     // "error none", "error data": the error stops over the moments
};

enum class Edge : uint8_t { Rise, Fall, Change };

// One "PIN 0|1" pair of a pins expectation.
struct ExpectedPin {
    PinName pin;
    bool value = false;
    int column = 0;
};

struct Expectation {
    // The moments, inclusive: one (from == to, span false), "A..B", or "A.." to the end of the
    // rehearsal (to == openEnd). Error kinds written at one moment T cover 0..T: "by T".
    static constexpr int64_t openEnd = std::numeric_limits<int64_t>::max();
    int64_t from = 0;
    int64_t to = 0;
    bool span = false;

    int sourceLine = 0;  // in the events file, from 1
    int column = 0;      // of the word after "expect", from 1
    std::string text;    // the line as written, without its comment

    ExpectationKind kind = ExpectationKind::Running;

    // Pins: compared as (pins & mask) == value, for the outputs and the inputs.
    uint32_t outputMask = 0;
    uint32_t outputValue = 0;
    uint32_t inputMask = 0;
    uint32_t inputValue = 0;
    std::vector<ExpectedPin> pins;  // the pairs as written; empty for the "out"/"in" form
    PinSide port = PinSide::Output;  // the "out"/"in" form: its side
    bool masked = false;             // ... and whether a mask was written

    // Reaction: every trigger edge within the moments is followed, at most within ms later, by
    // the response edge.
    PinName trigger;
    Edge triggerEdge = Edge::Rise;
    PinName response;
    Edge responseEdge = Edge::Rise;
    int64_t within = 0;

    int32_t line = 0;        // Line: from 1
    std::string screenText;  // Screen: as the screen output shows it (UTF-8)
    bool noError = false;    // Error: "none"; else errorStop
    ErrorStop errorStop = ErrorStop::Data;
};

}  // namespace kt57
