#include "console/screen.h"

#include "console/layout.h"
#include "console/text_context.h"

namespace kt57 {

namespace {

void drawField(ConsoleState& console, ScreenPlace place, const FieldText& field) {
    if (field.length > 0) drawText(console, place.x, place.y, field.bytes, field.length);
}

}  // namespace

void drawHeader(ConsoleState& console, const ProgramStore& store, const RunControl& run) {
    drawField(console, headerPlace, headerText(run.nextLine, store.lineCount));
    drawText(console, placedRegisterCaption);
    if (run.runMode != RunMode::Step && console.detailView != 1) return;

    drawText(console, placedLabelCaption);
    drawText(console, placedSendCaption);
    drawText(console, placedReceiveCaption);
    console.surface->resizeWindow(listingWindowWidth(store.lineCount), windowListingHeight);
    console.listingDirty = 1;
    drawListing(console, store, run);
}

void drawLoopCounter(ConsoleState& console, const MachineState& machine) {
    drawField(console, loopCounterPlace, loopCounterText(machine.loopCounter));
}

void drawStatusRow(ConsoleState& console, const ProgramStore& store, const RunControl& run) {
    if (console.detailView == 1) drawField(console, labelFieldPlace, labelField(store, run));
    drawField(console, lineNumberPlace, lineNumberField(run, store.lineCount));
    if (const char* indicator = activityIndicator(run)) {
        drawText(console, indicatorPlace, indicator, indicatorLength);
    }
    if (run.runMode == RunMode::Step || console.detailView == 1) drawListing(console, store, run);
}

void drawListing(ConsoleState& console, const ProgramStore& store, const RunControl& run) {
    const int count = listedLineCount(store.lineCount);
    console.detailView = 1;
    for (int index = 0; index < count; ++index) {
        const CellOrigin origin = listingCellOrigin(index);
        drawText(console, origin.x, origin.y, listingMarker(run, store.lineCount, index), markerLength);
        if (console.listingDirty == 1) {
            const ProgramLine& line = store.lines[index];
            drawField(console, {origin.x + listingNumberOffset, origin.y}, listingNumber(index, line.label));
            drawText(console, origin.x + listingTextOffset, origin.y, line.text, textColumns);
        }
    }
    console.listingDirty = 0;
}

void drawVersionText(ConsoleState& console) { drawText(console, placedVersion); }

}  // namespace kt57
