// Whether a program with a window has a display to try. Qt's platform plugin ends the program with
// abort() when it finds none, so kt57d and kt57-board's panel ask first and say why in one line.
#pragma once

namespace kt57 {

// True when DISPLAY or WAYLAND_DISPLAY is set, or Qt is told which platform to use
// (QT_QPA_PLATFORM, or -platform on the command line, which is Qt's own option).
bool hasDisplay(int argc, const char* const* argv);

}  // namespace kt57
