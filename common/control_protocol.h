// The line protocol between kt57-ctl and a running kt57d: what another program may post to the
// main window on Linux. Parsing is shared, so both ends refuse exactly the same lines.
#pragma once
#include <cstdint>
#include <string_view>

#include "shell/shell_event.h"

namespace kt57 {

// Longest request line, newline excluded; kt57d drops a client that sends more without a newline.
constexpr int maxControlRequestLength = 63;

enum class ControlAction {
    Deliver,  // deliver event to the application
    Close,    // the title bar's close box
    State,    // read-only: answered at once with one line of the run state, nothing delivered
};

struct ControlRequest {
    ControlAction action = ControlAction::Deliver;
    ShellEvent event;
};

// Parses one request line (without its newline):
//   post A | post P   the posted mode command A or P
//   key K             a typed character: K is one printable ASCII character, "enter" or "esc"
//   menu N            the menu command with the decimal identifier N (0-65535)
//   close             the window closed from its title bar
//   state             the run state, answered as "ok state next=N ..." (read-only)
// Returns nullptr on success, else a one-line reason that the request is refused.
const char* parseControlRequest(std::string_view line, ControlRequest& request);

}  // namespace kt57
