#include "console/controls.h"

#include "console/layout.h"
#include "console/screen.h"

namespace kt57 {

void handleKey(ConsoleState& console, const ProgramStore& store, RunControl& run, uint32_t character,
               KeySource source) {
    switch (character) {
        case characterEnter:
            if (run.runMode == RunMode::Step && run.stepPhase == StepPhase::WaitingForEnter) run.stepPhase = StepPhase::Granted;
            run.sleepTicks = 0;
            break;
        case characterEscape:
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
        case 'A':  // a mode command only when another program posts it; typed, it does nothing
            if (source != KeySource::Posted) break;
            run.resumeMode = RunMode::Automatic;
            if (run.runMode == RunMode::Posted) run.runMode = RunMode::Automatic;
            break;
        case 'P':
            if (source != KeySource::Posted || run.runMode == RunMode::Step) break;
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

void handleClick(ConsoleState& console, const ProgramStore& store, RunControl& run, uint16_t x, uint16_t y) {
    if (console.detailView == 0 && run.runMode != RunMode::Step) return;
    const int32_t index = hitTestLine(store.lineCount, x, y);
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
