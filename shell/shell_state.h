// The shell's own process-wide state.
#pragma once
#include <cstdint>

namespace kt57 {

struct ShellState {
    char windowTitle[32] = {};  // 24 characters and a NUL; columns 16-23 take the serial number
    int32_t savedDetail = 0;    // detailView as read from the mode file

    bool operator==(const ShellState&) const = default;
};

}  // namespace kt57
