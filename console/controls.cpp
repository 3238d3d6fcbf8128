#include "console/controls.h"

#include "console/layout.h"
#include "console/screen.h"

namespace kt57 {

namespace {

constexpr uint32_t keyEnter = 13;
constexpr uint32_t keyEscape = 27;

}  // namespace

void handleKey(ConsoleState& console, const ProgramStore& store, RunControl& run, uint32_t characterCode,
               uint32_t lParam) {
    switch (characterCode) {
        case keyEnter:
            if (run.runMode == RunMode::Step && run.stepPhase == StepPhase::WaitingForEnter) run.stepPhase = StepPhase::Granted;
            run.sleepTicks = 0;
            break;
        case keyEscape:
            if (run.runMode != RunMode::Step) {
                run.runMode = RunMode::Step;
                console.listingDirty = 1;
                drawListing(console, store, run);
                run.stepPhase = StepPhase::WaitingForEnter;
            } else {
                run.runMode = run.resumeMode;
                run.stepPhase = StepPhase::None;
            }
            run.sleepTicks = 0;
            break;
        case 'A':  // posted by another program; a typed A carries the keyboard's lParam
            if (lParam != postedCommandMarker) break;
            run.resumeMode = RunMode::Automatic;
            if (run.runMode == RunMode::Posted) run.runMode = RunMode::Automatic;
            break;
        case 'P':
            if (lParam != postedCommandMarker || run.runMode == RunMode::Step) break;
            run.runMode = RunMode::Posted;
            run.resumeMode = RunMode::Posted;
            break;
        case 'C':
        case 'c':
            drawVersionText(console);
            run.nextLine = run.continueLine;
            if (console.detailView == 1) drawListing(console, store, run);
            break;
        case 'G':
        case 'g':
            if (!stopped(run, store.lineCount) || store.lineCount < 1) break;
            run.nextLine = 0;
            run.stepPhase = StepPhase::None;
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
    if (console.detailView == 0 && run.runMode != RunMode::Step) return;
    // Each coordinate is one unsigned 16-bit half of the mouse message's lParam.
    const int32_t index = hitTestLine(store.lineCount, static_cast<int32_t>(x & 0xFFFF), static_cast<int32_t>(y & 0xFFFF));
    // Read now, as GetAsyncKeyState does, not from the message.
    const bool control = console.modifiers->controlHeld();
    if (control) {
        run.breakLine = run.breakLine == index ? store.lineCount : index;
        drawStatusRow(console, store, run);
        return;
    }
    if (!stopped(run, store.lineCount) && run.runMode != RunMode::Step) return;
    if (console.modifiers->shiftHeld()) {
        run.continueLine = index;
        drawStatusRow(console, store, run);
    }
}

}  // namespace kt57
