// The window messages the application handles, with their Windows numbers.
#pragma once
#include <cstdint>

namespace kt57 {

enum WindowMessage : uint32_t {
    messageDestroy = 0x0002,
    messagePaint = 0x000F,
    messageCommand = 0x0111,
    messageChar = 0x0102,
    messageTimer = 0x0113,
    messageLeftButtonDown = 0x0201,
    messageLeftButtonDoubleClick = 0x0203,
};

constexpr uint32_t endProgramCommand = 40001;
constexpr uint32_t typedKeyLParam = 1;  // lParam a shell gives a typed character

}  // namespace kt57
