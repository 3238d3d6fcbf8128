#include "console/text_canvas.h"

#include <algorithm>
#include <cstring>

#include "console/cp932.h"

namespace kt57 {

namespace {

// The column whose sample point x = 8c + 4 lies in the 8-pixel cell starting at x.
int64_t firstColumnAt(int x) { return (static_cast<int64_t>(x) + 3) >> 3; }  // floor division

constexpr uint8_t leadKind = 1;
constexpr uint8_t trailKind = 2;

struct ByteKinds {
    uint8_t kinds[256];
    constexpr uint8_t operator[](unsigned char byte) const { return kinds[byte]; }
};

constexpr ByteKinds makeByteKinds() {
    ByteKinds table{};
    for (int byte = 0; byte < 256; ++byte) {
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        const bool trail = byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
        table.kinds[byte] = static_cast<uint8_t>((lead ? leadKind : 0) | (trail ? trailKind : 0));
    }
    return table;
}

constexpr ByteKinds byteKinds = makeByteKinds();

uint32_t shownSingle(unsigned char byte) {
    if (byte < 0x20) return 0x2400u + byte;  // control pictures
    if (byte == 0x7F) return 0x2421;
    return cp932SingleToUnicode(byte);
}

}  // namespace

TextCanvas::TextCanvas()
    : cells_(new Cell[static_cast<size_t>(maxBands) * maxColumns]()), bandOfY_(new int16_t[directYLimit]()) {}

void TextCanvas::openContext(int colourIndex) {
    open_ = true;
    colour_ = colourIndex;
}

void TextCanvas::closeContext() { open_ = false; }

void TextCanvas::resizeWindow(int width, int height) {
    width_ = width;
    height_ = height;
    ++resizeCount_;
}

void TextCanvas::clear() {
    for (int index = 0; index < bandCount_; ++index) {
        std::fill(band(index), band(index) + bandExtent_[index], Cell{});
        if (bandY_[index] >= 0 && bandY_[index] < directYLimit) bandOfY_[bandY_[index]] = 0;
        bandExtent_[index] = 0;
    }
    bandCount_ = 0;
    overflowed_ = false;
}

void TextCanvas::save(Snapshot& snapshot) const {
    static_assert(sizeof(Cell) == sizeof(uint32_t), "a cell is one word of a snapshot");
    snapshot.bandY.assign(bandY_, bandY_ + bandCount_);
    snapshot.bandExtent.assign(bandExtent_, bandExtent_ + bandCount_);
    size_t total = 0;
    for (int index = 0; index < bandCount_; ++index) total += static_cast<size_t>(bandExtent_[index]);
    snapshot.cells.resize(total);
    size_t at = 0;
    for (int index = 0; index < bandCount_; ++index) {
        const size_t count = static_cast<size_t>(bandExtent_[index]);
        if (count > 0) std::memcpy(snapshot.cells.data() + at, band(index), count * sizeof(Cell));
        at += count;
    }
    snapshot.open = open_;
    snapshot.colour = colour_;
    snapshot.width = width_;
    snapshot.height = height_;
    snapshot.resizeCount = resizeCount_;
    snapshot.drawCount = drawCount_;
    snapshot.overflowed = overflowed_;
}

void TextCanvas::restore(const Snapshot& snapshot) {
    clear();
    size_t at = 0;
    for (size_t index = 0; index < snapshot.bandY.size() && index < static_cast<size_t>(maxBands); ++index) {
        const int band = findOrAddBand(snapshot.bandY[index]);
        const size_t count = static_cast<size_t>(snapshot.bandExtent[index]);
        if (count > 0) std::memcpy(this->band(band), snapshot.cells.data() + at, count * sizeof(Cell));
        bandExtent_[band] = snapshot.bandExtent[index];
        at += count;
    }
    open_ = snapshot.open;
    colour_ = snapshot.colour;
    width_ = snapshot.width;
    height_ = snapshot.height;
    resizeCount_ = snapshot.resizeCount;
    drawCount_ = snapshot.drawCount;
    overflowed_ = snapshot.overflowed;
}

int TextCanvas::findBand(int y) const {
    if (y >= 0 && y < directYLimit) return bandOfY_[y] - 1;
    for (int index = 0; index < bandCount_; ++index) {
        if (bandY_[index] == y) return index;
    }
    return -1;
}

int TextCanvas::findOrAddBand(int y) {
    const int found = findBand(y);
    if (found >= 0 || bandCount_ == maxBands) return found;
    const int index = bandCount_++;
    bandY_[index] = y;
    bandExtent_[index] = 0;
    if (y >= 0 && y < directYLimit) bandOfY_[y] = static_cast<int16_t>(index + 1);
    return index;
}

bool TextCanvas::drawText(int x, int y, const char* bytes, int length) {
    if (!open_) return false;
    ++drawCount_;
    if (bytes == nullptr || length <= 0) return true;
    // Drawing runs thousands of times a tick (every marker after every instruction): one table
    // lookup for the band, one pass over the bytes, no allocation.
    int index = (y >= 0 && y < directYLimit) ? bandOfY_[y] - 1 : findBand(y);
    if (index < 0) index = findOrAddBand(y);
    if (index < 0) {
        overflowed_ = true;
        return true;
    }
    Cell* cells = band(index);
    const int64_t start = firstColumnAt(x);
    const int64_t end = start + length;
    const int64_t from = start > 0 ? start : 0;
    const int64_t to = end < maxColumns ? end : maxColumns;
    if (end > maxColumns) overflowed_ = true;
    if (from >= to) return true;

    // A pair cut at either edge of the new text loses its other half too.
    if (cells[from].kind == PairSecond && from > 0) cells[from - 1].kind = BrokenHalf;
    if (cells[to - 1].kind == PairFirst && to < maxColumns) cells[to].kind = BrokenHalf;

    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    const auto colour = static_cast<uint8_t>(colour_);
    if (start >= 0 && end <= maxColumns) {
        Cell* cell = cells + start;
        for (int at = 0; at < length;) {
            const unsigned char byte = data[at];
            if ((byteKinds[byte] & leadKind) != 0 && at + 1 < length && (byteKinds[data[at + 1]] & trailKind) != 0) {
                cell[at] = Cell{PairFirst, colour, byte, data[at + 1]};
                cell[at + 1] = Cell{PairSecond, colour, byte, data[at + 1]};
                at += 2;
            } else {
                cell[at] = Cell{Single, colour, byte, 0};
                at += 1;
            }
        }
    } else {
        drawClipped(cells, start, data, length, colour);
    }
    if (to > bandExtent_[index]) bandExtent_[index] = static_cast<int>(to);
    return true;
}

void TextCanvas::drawClipped(Cell* cells, int64_t start, const unsigned char* data, int length, uint8_t colour) {
    auto put = [cells](int64_t column, Cell cell) {
        if (column >= 0 && column < maxColumns) cells[column] = cell;
    };
    for (int at = 0; at < length;) {
        const int64_t column = start + at;
        if (isCp932LeadByte(data[at]) && at + 1 < length && isCp932TrailByte(data[at + 1])) {
            put(column, Cell{PairFirst, colour, data[at], data[at + 1]});
            put(column + 1, Cell{PairSecond, colour, data[at], data[at + 1]});
            at += 2;
        } else {
            put(column, Cell{Single, colour, data[at], 0});
            at += 1;
        }
    }
    // A pair with one column outside the storage shows nothing of itself.
    if (cells[0].kind == PairSecond && start < 0) cells[0].kind = BrokenHalf;
    if (cells[maxColumns - 1].kind == PairFirst) cells[maxColumns - 1].kind = BrokenHalf;
}

uint32_t TextCanvas::shownAt(const Cell* cells, int column, int* width) const {
    *width = 1;
    const Cell& cell = cells[column];
    switch (cell.kind) {
        case Single:
            return shownSingle(cell.first);
        case PairFirst:
            *width = 2;
            return cp932PairToUnicode(cell.first, cell.second);
        case Blank:
        case PairSecond:  // only reached when asked for the second column itself
        case BrokenHalf:
            break;
    }
    return 0x20;
}

std::string TextCanvas::bandText(int y) const {
    const int index = findBand(y);
    std::string text;
    if (index < 0) return text;
    const Cell* cells = band(index);
    size_t visibleEnd = 0;
    for (int column = 0; column < bandExtent_[index];) {
        int width = 1;
        const uint32_t shown = shownAt(cells, column, &width);
        appendUtf8(text, shown);
        if (shown != 0x20) visibleEnd = text.size();
        column += width;
    }
    text.resize(visibleEnd);
    return text;
}

std::string TextCanvas::cellText(int y, int column) const {
    const int index = findBand(y);
    if (index < 0 || column < 0 || column >= maxColumns) return " ";
    const Cell* cells = band(index);
    if (cells[column].kind == PairSecond) return "";
    int width = 1;
    std::string text;
    appendUtf8(text, shownAt(cells, column, &width));
    return text;
}

bool TextCanvas::cellIsRed(int y, int column) const {
    const int index = findBand(y);
    if (index < 0 || column < 0 || column >= maxColumns) return false;
    const Cell* cells = band(index);
    const int first = cells[column].kind == PairSecond ? column - 1 : column;
    int width = 1;
    return cells[first].colour == redColourIndex && shownAt(cells, first, &width) != 0x20;
}

std::string TextCanvas::render() const {
    int order[maxBands];
    for (int index = 0; index < bandCount_; ++index) order[index] = index;
    std::sort(order, order + bandCount_, [this](int a, int b) { return bandY_[a] < bandY_[b]; });

    std::string out;
    for (int position = 0; position < bandCount_; ++position) {
        const int index = order[position];
        const int y = bandY_[index];
        out += "y=" + std::to_string(y);
        const std::string text = bandText(y);
        if (!text.empty()) out += " " + text;
        out += '\n';

        std::string ranges;
        int rangeStart = -1;
        for (int column = 0; column <= bandExtent_[index]; ++column) {
            const bool red = column < bandExtent_[index] && cellIsRed(y, column);
            if (red && rangeStart < 0) rangeStart = column;
            if (!red && rangeStart >= 0) {
                if (!ranges.empty()) ranges += ',';
                ranges += std::to_string(rangeStart) + "-" + std::to_string(column - 1);
                rangeStart = -1;
            }
        }
        if (!ranges.empty()) out += "red " + ranges + "\n";
    }
    return out;
}

}  // namespace kt57
