// The console's one font on Qt: the face the console names ("ＭＳ ゴシック"), else IPAGothic,
// which has the same 8-pixel single-byte and 16-pixel double-byte cells at 16 pixels.
#pragma once
#include <QFont>

namespace kt57 {

constexpr int consoleCellWidth = 8;    // one code page 932 byte
constexpr int consoleCellHeight = 16;

QFont consoleFont();

}  // namespace kt57
