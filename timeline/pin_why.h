// Why a pin has its value at a moment: its last change, the frame and the line that made it, where
// that frame's bit came from when it was built from the output register, and the next change.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "device/board_protocol.h"
#include "timeline/pin.h"
#include "timeline/timeline.h"

namespace kt57 {

enum class WhyStepKind : uint8_t {
    Frame,       // a command frame set the outputs: line sent frame
    Reply,       // the register bit came from the reply to line's command (value: the reply's)
    AndOutput,   // ... from AN@ at line (value: its operand)
    OrOutput,    // ... from OR@ at line
    InputEvent,  // an input changed: the events file's line (eventsLine), value: all 24 inputs
};

struct WhyStep {
    WhyStepKind kind = WhyStepKind::Frame;
    int64_t at = 0;
    int32_t line = -1;  // program line index; -1 when none
    std::string frame;  // the frame's bytes as sent (Frame)
    uint32_t value = 0;
    int eventsLine = 0;
};

struct PinWhy {
    Pin pin;
    int64_t at = 0;
    int level = 0;
    bool changed = false;  // false: the pin has had this level since the rehearsal began
    int64_t changedAt = 0;
    std::vector<WhyStep> chain;  // from the change back to where its bit came from
    bool hasNext = false;
    int64_t nextAt = 0;
    int nextLevel = 0;
};

// A program line's text as the listing holds it, trailing blanks cut and bytes escaped as in a trace
// (device/byte_escapes.h); empty for no line.
std::string programLineText(const ProgramStore& program, int32_t line);

PinWhy explainPin(const Timeline& timeline, Pin pin, int64_t t);

// For people: English, program lines numbered as the screen shows them, one fact a line.
std::string describePinWhy(const Timeline& timeline, const PinWhy& why);

}  // namespace kt57
