// What every character cell of the console image shows, so that a text whose cells already show
// exactly its bytes in its colour is not painted again. The console redraws all 256 listing
// markers after every executed instruction and nearly all of them are unchanged; painting each
// with QPainter would cost far more than a tick.
//
// A cell is known by its exact pixel origin, its bytes (one, or a double-byte pair) and its
// colour. Each pixel column of a row of cells remembers the cell that last covered it; a cell is
// unchanged when the columns it covers still name it. Any text that overlaps a cell, in its own
// row or a row less than a cell's height away, takes over the columns it covers, so an
// overlapped cell is never taken for unchanged. Fixed storage: rows beyond maxRows and columns
// beyond maxWidth are simply painted every time.
#pragma once
#include <cstdint>
#include <memory>

namespace kt57 {

class PaintedCells {
public:
    static constexpr int maxRows = 64;      // distinct y values drawn at between two forgets
    static constexpr int maxWidth = 4096;   // pixels; the window is at most 4000 wide
    static constexpr int maxY = 4096;
    static constexpr int cellHeight = 16;

    PaintedCells();

    // True when painting length bytes at (x, y) in colourIndex would change no pixel.
    bool unchanged(int x, int y, const char* bytes, int length, int colourIndex) const;
    // Notes a text that has just been painted.
    void painted(int x, int y, const char* bytes, int length, int colourIndex);
    // Nothing is known any more: the image was cleared or resized.
    void forget();

private:
    using CellKey = uint64_t;  // 0: unknown

    int rowOf(int y) const { return y >= 0 && y < maxY ? rowOfY_[y] - 1 : -1; }
    CellKey* row(int index) { return columns_.get() + static_cast<size_t>(index) * maxWidth; }
    const CellKey* row(int index) const { return columns_.get() + static_cast<size_t>(index) * maxWidth; }
    void cover(CellKey* columns, int64_t from, int64_t to, CellKey key);

    std::unique_ptr<CellKey[]> columns_;  // maxRows x maxWidth
    std::unique_ptr<int16_t[]> rowOfY_;   // row index + 1 for each y, 0 = none
    int rowY_[maxRows] = {};
    int rowCount_ = 0;
};

}  // namespace kt57
