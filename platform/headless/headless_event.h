// One scripted event of the headless message loop: an operator action, a window request, a
// change to the virtual board, or a request to print the screen or the state.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "board/board_control.h"

namespace kt57 {

enum class HeadlessEventKind : uint8_t {
    Key,          // the operator types the character code
    Post,         // another program posts the character code as a mode command
    Click,        // a left click at (x, y) with control/shift held
    DoubleClick,  // a click, then the double click's second press: handled twice
    Paint,        // the whole client area invalidated: cleared to white, then repainted
    Menu,         // the menu command code
    Close,        // the title bar's close box: the window is destroyed
    Input,        // the board's inputs become code (24 bits)
    Latency,      // the board's reply latency becomes code ms
    Unplug,
    Plug,
    Mute,
    Unmute,
    Inject,       // bytes pushed into the board's receive queue
    Board,        // any other board-control line (fail, heal, serial): board
    Screen,       // reported to the run's listener only
    State,        // reported to the run's listener only
};

struct HeadlessEvent {
    int64_t at = 0;  // virtual ms at which it falls due
    HeadlessEventKind kind = HeadlessEventKind::Paint;
    uint32_t code = 0;
    uint16_t x = 0;
    uint16_t y = 0;
    bool control = false;
    bool shift = false;
    std::string bytes;
    BoardControl board;
    int sourceLine = 0;  // the events file's line, when it came from one

    static HeadlessEvent of(int64_t at, HeadlessEventKind kind, uint32_t code = 0) {
        HeadlessEvent event;
        event.at = at;
        event.kind = kind;
        event.code = code;
        return event;
    }
    static HeadlessEvent key(int64_t at, uint32_t code) { return of(at, HeadlessEventKind::Key, code); }
    static HeadlessEvent post(int64_t at, uint32_t code) { return of(at, HeadlessEventKind::Post, code); }
    static HeadlessEvent click(int64_t at, uint16_t x, uint16_t y, bool control = false, bool shift = false,
                               bool doubleClick = false) {
        HeadlessEvent event = of(at, doubleClick ? HeadlessEventKind::DoubleClick : HeadlessEventKind::Click);
        event.x = x;
        event.y = y;
        event.control = control;
        event.shift = shift;
        return event;
    }
    static HeadlessEvent inject(int64_t at, std::string bytes) {
        HeadlessEvent event = of(at, HeadlessEventKind::Inject);
        event.bytes = std::move(bytes);
        return event;
    }
};

}  // namespace kt57
