// The line protocol between kt57-ctl and a running kt57d: what another program may post to the
// main window on Linux. Parsing is shared, so both ends refuse exactly the same lines.
#pragma once
#include <cstdint>
#include <string_view>

namespace kt57 {

// Longest request line, newline excluded; kt57d drops a client that sends more without a newline.
constexpr int maxControlRequestLength = 63;

enum class ControlAction {
    Message,  // deliver message/wParam/lParam to the window procedure
    Close,    // the title bar's close box
    State,    // read-only: answered at once with one line of the run state, nothing delivered
};

struct ControlRequest {
    ControlAction action = ControlAction::Message;
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

// Parses one request line (without its newline):
//   post A | post P   WM_CHAR 65 or 80 with the posted-command marker 0x4B
//   key K             a typed character: K is one printable ASCII character, "enter" or "esc"
//   menu N            WM_COMMAND with the decimal command identifier N (0-65535)
//   close             the window closed from its title bar
//   state             the run state, answered as "ok state next=N ..." (read-only)
// Returns nullptr on success, else a one-line reason that the request is refused.
const char* parseControlRequest(std::string_view line, ControlRequest& request);

}  // namespace kt57
