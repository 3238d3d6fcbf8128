// The application's input: what every shell, the events file and the control protocol deliver.
// A shell translates its native input into these and hands them to handleEvent; none of them
// carries a platform's packing.
#pragma once
#include <cstdint>

#include "console/operator_keys.h"

namespace kt57 {

// The menu's one command, the end of the program. Other identifiers are delivered and ignored.
inline constexpr uint16_t endProgramCommand = 40001;

enum class ShellEventKind : uint8_t {
    Character,      // the operator typed character
    PostedCommand,  // another program posted character as a mode command ('A' or 'P')
    Click,          // the left button pressed at (x, y)
    DoubleClick,    // the second press of a double click at (x, y); its first press came as a Click
    Tick,           // the window timer fell due
    Repaint,        // the client area is to be drawn again
    MenuCommand,    // a menu command chosen: command
    Destroyed,      // the window is gone
};

struct ShellEvent {
    ShellEventKind kind = ShellEventKind::Tick;
    uint32_t character = 0;  // Character, PostedCommand
    uint16_t x = 0;          // Click, DoubleClick: client pixels
    uint16_t y = 0;
    uint16_t command = 0;    // MenuCommand

    static constexpr ShellEvent typed(uint32_t character) { return {ShellEventKind::Character, character}; }
    static constexpr ShellEvent enter() { return typed(characterEnter); }
    static constexpr ShellEvent escape() { return typed(characterEscape); }
    static constexpr ShellEvent posted(uint32_t character) { return {ShellEventKind::PostedCommand, character}; }
    static constexpr ShellEvent click(uint16_t x, uint16_t y) { return {ShellEventKind::Click, 0, x, y}; }
    static constexpr ShellEvent doubleClick(uint16_t x, uint16_t y) { return {ShellEventKind::DoubleClick, 0, x, y}; }
    static constexpr ShellEvent tick() { return {ShellEventKind::Tick}; }
    static constexpr ShellEvent repaint() { return {ShellEventKind::Repaint}; }
    static constexpr ShellEvent menu(uint16_t command) { return {ShellEventKind::MenuCommand, 0, 0, 0, command}; }
    static constexpr ShellEvent endProgram() { return menu(endProgramCommand); }
    static constexpr ShellEvent destroyed() { return {ShellEventKind::Destroyed}; }

    friend constexpr bool operator==(const ShellEvent&, const ShellEvent&) = default;
};

}  // namespace kt57
