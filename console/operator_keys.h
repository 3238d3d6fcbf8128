// How the operator's keys reach the controls: a character, and whether the operator typed it or
// another program posted it as a mode command. Enter and Esc arrive as the control characters a
// keyboard types for them.
#pragma once
#include <cstdint>

namespace kt57 {

inline constexpr uint32_t characterEnter = 13;
inline constexpr uint32_t characterEscape = 27;

enum class KeySource : uint8_t {
    Typed,   // from the keyboard: 'A' and 'P' do nothing
    Posted,  // a mode command from another program: 'A' and 'P' change the run mode
};

}  // namespace kt57
