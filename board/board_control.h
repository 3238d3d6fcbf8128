// The one control language of the virtual board, a line at a time, for every face that sets its
// switches: kt57-run's events file (after the time), kt57-board's standard input and panel, and
// KT57Board.txt beside the substitute FTD2XX.dll.
//   input HHHHHH        the 24 inputs, six hexadecimal digits
//   latency MS          reply latency, whole milliseconds from 0 to 1000000000
//   unplug, plug        pull and reconnect the cable
//   mute, unmute        stop / resume answering (a muted 'W' still sets the outputs)
//   fail CALL, heal CALL  make open, write, status or read fail / work again
//   serial S            the serial number, 1 to 8 characters from '0' to 'Z' (device/board_protocol.h)
//   inject BYTES        raw bytes into the receive queue, escaped as in device/byte_escapes.h
//   quit, help          kt57-board only
// The events file takes inject's bytes as one word (\x20 for a blank); the other faces take the
// rest of the line.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/board_faults.h"
#include "board/board_session.h"
#include "device/board_protocol.h"

namespace kt57 {

enum class BoardControlFace : uint8_t { Events, Console, Config };

enum class BoardControlKind : uint8_t {
    Empty, Input, Latency, Unplug, Plug, Mute, Unmute, Fail, Heal, Serial, Inject, Quit, Help, Invalid
};

// No more can wait in the receive queue, so no more are worth injecting at once.
inline constexpr size_t injectCapacity = BoardSession::receiveCapacity;
// One limit for the latency line and kt57-board's --latency. Events files and fuzz seeds hold a
// board that answers a billion milliseconds late, so the limit stays this high.
inline constexpr uint32_t maximumLatencyMilliseconds = 1000000000;
inline constexpr char latencyRule[] = "whole milliseconds from 0 to 1000000000";

struct BoardControl {
    BoardControlKind kind = BoardControlKind::Empty;
    uint32_t inputs = 0;
    uint32_t latencyMilliseconds = 0;
    FailingCall call = FailingCall::Open;
    char serialNumber[serialNumberCapacity] = {};
    unsigned char bytes[injectCapacity] = {};
    size_t size = 0;
    // Why a line is Invalid: errorBefore, the word it names (inside the parsed line), errorAfter,
    // and the rule the word broke when there is one.
    const char* errorBefore = "";
    const char* errorWord = "";
    size_t errorWordLength = 0;
    const char* errorAfter = "";
    const char* errorRule = "";
};

// Parses length characters of line (no line end inside but a trailing one) as face reads it.
BoardControl parseBoardControl(const char* line, size_t length, BoardControlFace face);
BoardControl parseBoardControl(const char* line, BoardControlFace face);

// length characters of text as a latency under latencyRule; false, value untouched, when they are not.
bool parseLatency(const char* text, size_t length, uint32_t& value);

// Whether word begins a board-control line on face.
bool isBoardControlWord(const char* word, size_t length, BoardControlFace face);

// The reason an Invalid control was refused, always NUL-terminated; returns its full length.
size_t describeBoardControlError(const BoardControl& control, char* text, size_t capacity);

// One line listing the controls face takes.
const char* boardControlHelp(BoardControlFace face);

}  // namespace kt57
