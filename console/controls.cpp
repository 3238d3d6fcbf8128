#include "console/controls.h"

#include "console/screen.h"
#include "console/screen_texts.h"
#include "console/text_context.h"

namespace kt57 {

namespace {

constexpr uint32_t keyEnter = 13;
constexpr uint32_t keyEscape = 27;

// The version text over the message field also wipes an error text shown there.
void drawVersionText(ConsoleState& console) { drawText(console, 310, 10, versionText, versionLength); }

bool stopped(const ProgramStore& store, const RunControl& run) { return run.nextLine >= store.lineCount; }

}  // namespace

void handleKey(ConsoleState& console, const ProgramStore& store, RunControl& run, uint32_t characterCode,
               uint32_t lParam) {
    switch (characterCode) {
        case keyEnter:
            if (run.runMode == 'S' && run.stepPhase == 1) run.stepPhase = 2;
            run.sleepTicks = 0;
            break;
        case keyEscape:
            if (run.runMode != 'S') {
                run.runMode = 'S';
                console.listingDirty = 1;
                drawListing(console, store, run);
                run.stepPhase = 1;
            } else {
                run.runMode = run.resumeMode;
                run.stepPhase = 0;
            }
            run.sleepTicks = 0;
            break;
        case 'A':  // posted by another program; a typed A carries the keyboard's lParam
            if (lParam != postedCommandMarker) break;
            run.resumeMode = 'A';
            if (run.runMode == 'P') run.runMode = 'A';
            break;
        case 'P':
            if (lParam != postedCommandMarker || run.runMode == 'S') break;
            run.runMode = 'P';
            run.resumeMode = 'P';
            break;
        case 'C':
        case 'c':
            drawVersionText(console);
            run.nextLine = run.continueLine;
            if (console.detailView == 1) drawListing(console, store, run);
            break;
        case 'G':
        case 'g':
            if (!stopped(store, run) || store.lineCount < 1) break;
            run.nextLine = 0;
            run.stepPhase = 0;
            drawVersionText(console);
            break;
        case 'S':
        case 's':
            run.nextLine = store.lineCount;
            run.sleepTicks = 0;
            if (console.detailView == 1) drawListing(console, store, run);
            break;
        default:
            break;
    }
}

void handleClick(ConsoleState& console, const ProgramStore& store, RunControl& run, uint32_t x, uint32_t y) {
    if (console.detailView == 0 && run.runMode != 'S') return;
    // Each coordinate is one unsigned 16-bit half of the mouse message's lParam.
    const int32_t index = hitTestLine(store, static_cast<int32_t>(x & 0xFFFF), static_cast<int32_t>(y & 0xFFFF));
    // Read now, as GetAsyncKeyState does, not from the message.
    const bool control = console.modifiers != nullptr && console.modifiers->controlHeld();
    if (control) {
        run.breakLine = run.breakLine == index ? store.lineCount : index;
        drawStatusRow(console, store, run);
        return;
    }
    if (!stopped(store, run) && run.runMode != 'S') return;
    if (console.modifiers != nullptr && console.modifiers->shiftHeld()) {
        run.continueLine = index;
        drawStatusRow(console, store, run);
    }
}

int32_t hitTestLine(const ProgramStore& store, int32_t x, int32_t y) {
    // 64-bit so that no client coordinate can overflow; C++ division truncates toward zero.
    const int64_t column = (int64_t{x} - 10) / 200;
    const int64_t row = (int64_t{y} - 110) / 20;
    int64_t index = 25 * column + row;
    if (index > store.lineCount) index = store.lineCount;
    if (index < 0) index = 0;
    return static_cast<int32_t>(index);
}

}  // namespace kt57
