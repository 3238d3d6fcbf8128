#include "console/layout.h"

#include <cstdio>

#include "console/screen_texts.h"

namespace kt57 {

namespace {

// Every value these fields show fits; a longer result is cut rather than overrun.
template <typename... Values>
FieldText format(const char* pattern, Values... values) {
    FieldText field{};
    const int written = std::snprintf(field.bytes, sizeof field.bytes, pattern, values...);
    field.length = written < 0 ? 0 : (written < int(sizeof field.bytes) ? written : int(sizeof field.bytes) - 1);
    return field;
}

FieldText fixed(const char* text, int length) {
    FieldText field{};
    for (int at = 0; at < length; ++at) field.bytes[at] = text[at];
    field.length = length;
    return field;
}

}  // namespace

int listedLineCount(int32_t lineCount) {
    if (lineCount < 0) return 0;
    return lineCount > maxProgramLines ? maxProgramLines : lineCount;
}

int listingWindowWidth(int32_t lineCount) {
    const int64_t count = lineCount < 0 ? 0 : lineCount;
    const int64_t columns = count / listingRows + (count % listingRows != 0 ? 1 : 0);
    int64_t width = int64_t{listingColumnWidth} * columns + 40;
    if (width > windowMaximumWidth) width = windowMaximumWidth;
    if (width < windowMinimumWidth) width = windowMinimumWidth;
    return static_cast<int>(width);
}

const char* listingMarker(const RunControl& run, int32_t lineCount, int lineIndex) {
    if (lineIndex == run.breakLine) {
        if (lineIndex == run.currentLine) return markerBreakCurrent;
        if (lineIndex == run.continueLine) return markerBreakContinue;
        return markerBreak;
    }
    if (stopped(run, lineCount)) {
        if (lineIndex == 0) return markerStart;
        if (lineIndex == run.continueLine) return markerContinue;
        if (lineIndex == run.currentLine) return markerBlack;
        return markerNone;
    }
    if (lineIndex == run.nextLine) return markerNext;
    if (lineIndex == run.currentLine) return markerBlack;
    return markerNone;
}

FieldText lineNumberField(const RunControl& run, int32_t lineCount) {
    const bool isStopped = stopped(run, lineCount);
    if (isStopped && run.currentLine == 0) return fixed(lineNumberZeroText, lineNumberLength);
    if (isStopped && run.continueLine == lineCount) return fixed(lineNumberEndText, lineNumberLength);
    if (run.runMode == RunMode::Step || run.refreshTick % 5 == 0) return format(lineNumberFormat, shownLineNumber(run.currentLine));
    return FieldText{};
}

const char* activityIndicator(const RunControl& run) {
    if (run.runMode == RunMode::Step) return run.nextLine % 2 != 0 ? indicatorRightText : indicatorLeftText;
    switch (run.refreshTick % 5) {
        case 0:
            return indicatorRightText;
        case 2:
            return indicatorLeftText;
        default:
            return nullptr;
    }
}

FieldText labelField(const ProgramStore& store, const RunControl& run) {
    // currentLine equals lineCount after a blank last line: no line, so no label.
    const bool hasLine = run.currentLine >= 0 && run.currentLine < listedLineCount(store.lineCount);
    const int32_t label = hasLine ? store.lines[run.currentLine].label : 0;
    if (label == 0) return fixed(noLabelText, labelFieldLength);
    FieldText field = format(labelFieldFormat, label);
    field.length = labelFieldLength;  // the field's width, whatever the label
    return field;
}

FieldText listingNumber(int lineIndex, int32_t label) {
    if (label != 0) return format(listingNumberLabelFormat, lineIndex + 1, label);
    return format(listingNumberFormat, lineIndex + 1);
}

int32_t hitTestLine(int32_t lineCount, int32_t x, int32_t y) {
    // 64-bit so that no client coordinate can overflow; division truncates toward zero, so a
    // point left of or above the grid counts toward its first cell.
    const int64_t column = (int64_t{x} - listingLeft) / listingColumnWidth;
    const int64_t row = (int64_t{y} - listingTop) / listingRowHeight;
    int64_t index = int64_t{listingRows} * column + row;
    if (index > lineCount) index = lineCount;
    if (index < 0) index = 0;
    return static_cast<int32_t>(index);
}

FieldText headerText(int32_t nextLine, int32_t lineCount) { return format(headerFormat, nextLine, lineCount); }

FieldText loopCounterText(int32_t loopCounter) { return format(lineNumberFormat, loopCounter); }

}  // namespace kt57
