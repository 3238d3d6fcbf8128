#include "platform/qt/painted_cells.h"

#include <algorithm>

#include "console/cp932.h"
#include "platform/qt/glyph_tiles.h"

namespace kt57 {
namespace {

constexpr int cellWidth = 8;

// The cell at origin x holding size bytes: a key that no other cell or colour shares and that is
// never 0.
uint64_t cellKey(int x, const unsigned char* bytes, int size, int colourIndex) {
    return static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32 | glyphKey(colourIndex, bytes, size);
}

// The byte count of the cell at bytes, split exactly as the painter splits the text.
int cellSize(const unsigned char* bytes, int remaining) {
    return remaining >= 2 && isCp932LeadByte(bytes[0]) && isCp932TrailByte(bytes[1]) ? 2 : 1;
}

}  // namespace

PaintedCells::PaintedCells()
    : columns_(new CellKey[static_cast<size_t>(maxRows) * maxWidth]()), rowOfY_(new int16_t[maxY]()) {}

bool PaintedCells::unchanged(int x, int y, const char* bytes, int length, int colourIndex) const {
    const int index = rowOf(y);
    if (index < 0 || length <= 0 || x < 0 || static_cast<int64_t>(x) + int64_t{cellWidth} * length > maxWidth) {
        return false;
    }
    const CellKey* columns = row(index);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    for (int at = 0; at < length;) {
        const int size = cellSize(data + at, length - at);
        const int origin = x + cellWidth * at;
        const CellKey key = cellKey(origin, data + at, size, colourIndex);
        // A text at least a cell wide that overlaps this cell covers its first or last column,
        // or for a double-width cell the first column of its second half.
        if (columns[origin] != key || columns[origin + cellWidth * size - 1] != key) return false;
        if (size == 2 && columns[origin + cellWidth] != key) return false;
        at += size;
    }
    return true;
}

void PaintedCells::cover(CellKey* columns, int64_t from, int64_t to, CellKey key) {
    from = std::max<int64_t>(from, 0);
    to = std::min<int64_t>(to, maxWidth);
    if (from < to) std::fill(columns + from, columns + to, key);
}

void PaintedCells::painted(int x, int y, const char* bytes, int length, int colourIndex) {
    if (length <= 0) return;
    const int64_t left = x;
    const int64_t right = left + int64_t{cellWidth} * length;
    // Rows that the text overlaps in part lose what they knew under it.
    for (int other = 0; other < rowCount_; ++other) {
        if (rowY_[other] != y && rowY_[other] > y - cellHeight && rowY_[other] < y + cellHeight) {
            cover(row(other), left, right, 0);
        }
    }
    int index = rowOf(y);
    if (index < 0 && y >= 0 && y < maxY && rowCount_ < maxRows) {
        index = rowCount_++;
        rowY_[index] = y;
        rowOfY_[y] = static_cast<int16_t>(index + 1);
    }
    if (index < 0) return;  // an untracked row is painted every time
    CellKey* columns = row(index);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    for (int at = 0; at < length;) {
        const int size = cellSize(data + at, length - at);
        const int64_t origin = left + int64_t{cellWidth} * at;
        const bool knowable = origin >= 0 && origin + cellWidth * size <= maxWidth;
        cover(columns, origin, origin + cellWidth * size,
              knowable ? cellKey(static_cast<int>(origin), data + at, size, colourIndex) : 0);
        at += size;
    }
}

void PaintedCells::forget() {
    for (int index = 0; index < rowCount_; ++index) {
        std::fill(row(index), row(index) + maxWidth, CellKey{0});
        rowOfY_[rowY_[index]] = 0;
    }
    rowCount_ = 0;
}

}  // namespace kt57
