#include "console/screen.h"

#include "console/layout.h"
#include "console/screen_texts.h"
#include "console/text_context.h"

namespace kt57 {

namespace {

void drawField(ConsoleState& console, int x, int y, const FieldText& field) {
    if (field.length > 0) drawText(console, x, y, field.bytes, field.length);
}

}  // namespace

void drawHeader(ConsoleState& console, const ProgramStore& store, const RunControl& run) {
    drawField(console, 10, 40, headerText(run.nextLine, store.lineCount));
    drawText(console, 10, 70, registerCaptionText, registerCaptionLength);
    if (run.runMode != 'S' && console.detailView != 1) return;

    drawText(console, 260, 40, labelCaptionText, labelCaptionLength);
    drawText(console, 140, 70, sendCaptionText, sendCaptionLength);
    drawText(console, 290, 70, receiveCaptionText, receiveCaptionLength);
    if (console.surface != nullptr) {
        console.surface->resizeWindow(listingWindowWidth(store.lineCount), windowListingHeight);
    }
    console.listingDirty = 1;
    drawListing(console, store, run);
}

void drawLoopCounter(ConsoleState& console, const MachineState& machine) {
    drawField(console, 85, 70, loopCounterText(machine.loopCounter));
}

void drawStatusRow(ConsoleState& console, const ProgramStore& store, const RunControl& run) {
    if (console.detailView == 1) drawField(console, 320, 40, labelField(store, run));
    drawField(console, 120, 40, lineNumberField(run, store.lineCount));
    if (const char* indicator = activityIndicator(run)) {
        drawText(console, 200, 40, indicator, indicatorRightLength);
    }
    if (run.runMode == 'S' || console.detailView == 1) drawListing(console, store, run);
}

void drawListing(ConsoleState& console, const ProgramStore& store, const RunControl& run) {
    const int count = listedLineCount(store.lineCount);
    console.detailView = 1;
    for (int index = 0; index < count; ++index) {
        const CellOrigin origin = listingCellOrigin(index);
        drawText(console, origin.x, origin.y, listingMarker(run, store.lineCount, index), markerLength);
        if (console.listingDirty == 1) {
            const ProgramLine& line = store.lines[index];
            drawField(console, origin.x + listingNumberOffset, origin.y, listingNumber(index, line.label));
            drawText(console, origin.x + listingTextOffset, origin.y, line.text, textColumns);
        }
    }
    console.listingDirty = 0;
}

}  // namespace kt57
