// The whole state of a headless run at a moment between two delivered messages: every record of
// the application, the clock, the timer, the board, the screen, the window and the place in the
// scripted events. Restoring it into the same run and going on gives exactly what the run gave.
// The program itself is not in it: it is loaded once at start-up and never changes afterwards.
#pragma once
#include <cstddef>

#include "board/board_session.h"
#include "console/console_state.h"
#include "console/text_canvas.h"
#include "device/device_link.h"
#include "platform/headless/headless_timer.h"
#include "platform/headless/headless_window.h"
#include "sequencer/machine_state.h"
#include "sequencer/run_control.h"
#include "shell/shell_state.h"

namespace kt57 {

struct HeadlessSnapshot {
    MachineState machine;
    RunControl run;
    DeviceLink link;
    ConsoleState console;
    ShellState shell;
    int64_t now = 0;
    HeadlessTimer::State timer;
    BoardSession::State board;
    TextCanvas::Snapshot canvas;
    HeadlessWindow::State window;
    bool controlHeld = false;
    bool shiftHeld = false;
    size_t eventsDelivered = 0;
    int ticks = 0;

    bool operator==(const HeadlessSnapshot&) const = default;
};

}  // namespace kt57
