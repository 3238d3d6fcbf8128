// A TextSurface that keeps what is on the screen and renders it as UTF-8 text.
// Used headless: by the engine and console tests, kt57-run's screen output, the benchmarks and the
// Qt tests. The text format is documented in docs/console-canvas.md; kt57-run compares it, so it
// is kept exact:
//   - one line per band: a band per distinct y drawn at since the last clear(), ascending y;
//     each line is "y=<y>" followed by a blank and the characters, ending in '\n';
//   - column c shows the character whose 8-pixel cell covers pixel x = 8c + 4;
//   - a double-byte character is written once, in its first column, and counts as two columns;
//     a half whose other half was overwritten shows as a blank; cells never drawn are blanks;
//   - bytes 0x00-0x1F show as U+2400 + byte, 0x7F as U+2421; 0x80, 0xA0, 0xFD-0xFF, a lone lead
//     byte and an undefined pair show as U+FFFD;
//   - trailing blanks (U+0020) are cut from the whole line, so an all-blank band is "y=<y>";
//   - a band with visible characters drawn in red (colour 4) is followed by
//     "red <a>-<b>[,<a>-<b>...]": the inclusive column ranges of those characters.
// Bands are kept per exact y: the console never draws texts whose rows overlap only in part.
// The canvas is not clipped at the window's edge; storage is fixed (maxBands x maxColumns, far
// beyond the console's layout) and drawText never allocates.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "console/text_surface.h"

namespace kt57 {

class TextCanvas : public TextSurface {
public:
    static constexpr int maxBands = 64;       // distinct y values between two clears
    static constexpr int maxColumns = 1024;   // 8192 pixels
    static constexpr int redColourIndex = 4;

    TextCanvas();

    // TextSurface. drawText fails, changing nothing, while no context is open. A draw of zero
    // bytes succeeds and draws nothing (it adds no band).
    void openContext(int colourIndex) override;
    void closeContext() override;
    bool drawText(int x, int y, const char* bytes, int length) override;
    void resizeWindow(int width, int height) override;

    // The window cleared to white, as a paint does: every band goes. Context and size stay.
    void clear();
    // The screen in the text format above.
    std::string render() const;
    // The characters of band y as render() shows them after "y=<y> ", trailing blanks cut;
    // empty when nothing was drawn at y.
    std::string bandText(int y) const;
    // What column shows in band y: the character (UTF-8), " " for a blank, "" for the second
    // column of a whole double-byte character.
    std::string cellText(int y, int column) const;
    // True when the column holds a visible character drawn in red (both columns of a pair).
    bool cellIsRed(int y, int column) const;

    bool contextOpen() const { return open_; }
    int contextColour() const { return colour_; }
    int windowWidth() const { return width_; }    // last resize; 0 before any
    int windowHeight() const { return height_; }
    int resizeCount() const { return resizeCount_; }
    long drawCount() const { return drawCount_; }  // successful drawText calls since construction
    // True when a draw reached past the fixed storage since the last clear (then render() is incomplete).
    bool overflowed() const { return overflowed_; }

    // Everything the canvas holds, compactly: the drawn columns of each band (cells beyond them are
    // blank) and the drawing state. Lets a rehearsal put the screen back as it was at a moment.
    struct Snapshot {
        std::vector<int> bandY;
        std::vector<int> bandExtent;
        std::vector<uint32_t> cells;  // each band's drawn columns in band order, one word a cell
        bool open = false;
        int colour = 0;
        int width = 0;
        int height = 0;
        int resizeCount = 0;
        long drawCount = 0;
        bool overflowed = false;
        bool operator==(const Snapshot&) const = default;
    };
    void save(Snapshot& snapshot) const;  // reuses the snapshot's storage
    void restore(const Snapshot& snapshot);

private:
    enum CellKind : uint8_t { Blank, Single, PairFirst, PairSecond, BrokenHalf };
    struct Cell {  // four bytes: a snapshot keeps each as one word
        uint8_t kind;
        uint8_t colour;
        uint8_t first;   // the byte, or the lead byte of a pair
        uint8_t second;  // the trail byte of a pair
    };
    static constexpr int directYLimit = 4096;  // y values looked up without a search

    int findBand(int y) const;
    // The slow path of drawText for a text reaching outside the stored columns.
    void drawClipped(Cell* cells, int64_t start, const unsigned char* data, int length, uint8_t colour);
    int findOrAddBand(int y);
    Cell* band(int index) { return cells_.get() + static_cast<size_t>(index) * maxColumns; }
    const Cell* band(int index) const { return cells_.get() + static_cast<size_t>(index) * maxColumns; }
    // Character shown at column (U+0020 for a blank); sets *width to 2 for a whole pair.
    uint32_t shownAt(const Cell* cells, int column, int* width) const;

    std::unique_ptr<Cell[]> cells_;
    std::unique_ptr<int16_t[]> bandOfY_;  // band index + 1 for y in [0, directYLimit), 0 = none
    int bandY_[maxBands] = {};
    int bandExtent_[maxBands] = {};  // columns used: one past the last drawn
    int bandCount_ = 0;
    bool open_ = false;
    int colour_ = 0;
    int width_ = 0;
    int height_ = 0;
    int resizeCount_ = 0;
    long drawCount_ = 0;
    bool overflowed_ = false;
};

}  // namespace kt57
