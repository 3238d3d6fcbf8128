// What a timeline keeps of a rehearsal besides its checkpoints: every change of every pin, of the
// running line and of the run state, the error stops, and for each change of an output the frame
// that made it and where that frame's register bits came from. Kept as the rehearsal is built and
// read by the questions asked of it.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "device/board_protocol.h"
#include "engine/run_observer.h"
#include "board/pin_name.h"

namespace kt57 {

// A change of one signal: after it, the signal has value (a pin's level, a line number from 1 or
// 0 when none runs, 1 or 0 for running).
struct SignalChange {
    int64_t at = 0;          // virtual ms
    uint32_t position = 0;   // in the state from this position on: the message that made it, counted from 1
    int32_t value = 0;
};

// What decided bits of the output register, the value an '@' command sends.
enum class RegisterWriteKind : uint8_t {
    Reply,      // every reply sets the whole register: an 'R' reply to the inputs, a 'W' reply to its value
    AndOutput,  // AN@ clears the bits its operand lacks
    OrOutput,   // OR@ sets the bits of its operand
};

struct RegisterWrite {
    int64_t at = 0;
    uint32_t sinceCommand = 0;  // for a reply: ms since its command was sent
    int32_t line = -1;          // the AN@ or OR@ line, or the command line whose reply it was
    uint32_t value = 0;         // the operand, or the reply's value
    RegisterWriteKind kind = RegisterWriteKind::Reply;
};

// A frame that changed outputs (when: its pin changes say).
struct OutputCause {
    int32_t line = -1;          // the line that sent it; -1 when no program line did
    uint32_t firstSource = 0;   // its changed bits' writers in TimelineRecord::sources
    unsigned char frame[frameLength] = {};
    bool fromRegister = false;  // its line sends the output register ('@')
    uint8_t sourceCount = 0;
};

struct BitSource {
    uint8_t bit = 0;
    uint32_t write = 0;  // in TimelineRecord::writes
};

// A change of the inputs: a scripted event.
struct InputCause {
    int64_t at = 0;
    int sourceLine = 0;  // the events file's line, 0 when it came from none
    uint32_t inputs = 0;
};

struct ErrorMark {
    int64_t at = 0;
    uint32_t position = 0;
    ErrorStop stop = ErrorStop::Data;
    int32_t line = 0;  // the line index it stopped at
};

struct TimelineRecord {
    std::array<std::vector<SignalChange>, 2 * pinCount> pins;  // by PinName::number()
    std::array<std::vector<uint32_t>, 2 * pinCount> pinCauses;  // beside each change: its OutputCause or InputCause
    std::vector<SignalChange> lines;    // the running line, as the screen numbers it
    std::vector<SignalChange> running;  // 1 while the program runs
    std::vector<OutputCause> outputCauses;
    std::vector<BitSource> sources;
    std::vector<RegisterWrite> writes;
    std::vector<InputCause> inputCauses;
    std::vector<ErrorMark> errorStops;
    std::vector<int64_t> deliveryDue;        // when each message fell due
    std::vector<uint8_t> deliveryLines;      // program lines each executed, at most 255 counted
};

}  // namespace kt57
