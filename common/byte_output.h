// The tools' output byte for byte on every system: a trace or a report that a script compares
// must not gain a CR before each LF on Windows, whose C library writes text mode by default.
#pragma once

namespace kt57 {

// Puts standard output and standard error in binary mode on Windows; nothing elsewhere.
void useByteOutput();

}  // namespace kt57
