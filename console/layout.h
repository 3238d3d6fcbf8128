// The console's geometry and the choice of its variable texts, as pure functions of the records.
// The drawing routines (screen.h) only pass what these return to the surface.
#pragma once
#include <cstdint>

#include "sequencer/program_store.h"
#include "sequencer/run_control.h"

namespace kt57 {

constexpr int listingRows = 25;          // lines per listing column
constexpr int listingColumnWidth = 200;  // pixels
constexpr int listingRowHeight = 20;     // pixels
constexpr int listingLeft = 10;
constexpr int listingTop = 110;
constexpr int listingNumberOffset = 20;  // number and label, right of the marker
constexpr int listingTextOffset = 85;    // the line's text
constexpr int windowMinimumWidth = 480;
constexpr int windowMaximumWidth = 4000;
constexpr int windowListingHeight = 700;

struct CellOrigin {
    int x;
    int y;
    bool operator==(const CellOrigin&) const = default;
};

// A formatted field: length bytes of text; length 0 means the field is not drawn.
struct FieldText {
    char bytes[32];
    int length;
};

// Top-left corner of line index i's listing cell (column i / 25, row i % 25).
constexpr CellOrigin listingCellOrigin(int lineIndex) {
    return {listingColumnWidth * (lineIndex / listingRows) + listingLeft,
            listingRowHeight * (lineIndex % listingRows) + listingTop};
}
// The line index whose listing cell holds client pixel (x, y): the inverse of listingCellOrigin,
// clamped to 0..lineCount (lineCount = none). Rows past 25 run into the next column's lines.
int32_t hitTestLine(int32_t lineCount, int32_t x, int32_t y);
// How many lines the listing shows: lineCount, at most 256, never negative.
int listedLineCount(int32_t lineCount);
// Outer window width that shows every listing column, between 480 and 4000.
int listingWindowWidth(int32_t lineCount);
// The 2-byte marker of line i, by the first row of the marker table that holds.
const char* listingMarker(const RunControl& run, int32_t lineCount, int lineIndex);
// The line-number field; length 0 when no rule gives it a text.
FieldText lineNumberField(const RunControl& run, int32_t lineCount);
// The 6-byte activity indicator, or nullptr when it is not drawn.
const char* activityIndicator(const RunControl& run);
// The 7-byte label field: the label of currentLine ("___    " for none).
FieldText labelField(const ProgramStore& store, const RunControl& run);
// The listing's number and label of line index i.
FieldText listingNumber(int lineIndex, int32_t label);
// The header "実行データNo. %3d / %3d      ".
FieldText headerText(int32_t nextLine, int32_t lineCount);
// The loop counter "%3d ".
FieldText loopCounterText(int32_t loopCounter);

}  // namespace kt57
