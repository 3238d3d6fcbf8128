// Start-up, the handling of each event, repaint, end program and destruction, written once for
// every shell. Each shell turns its native input into handleEvent calls.
#include "shell/application.h"

#include <cstring>

#include "console/controls.h"
#include "console/palette.h"
#include "console/screen.h"
#include "console/text_context.h"
#include "device/board_protocol.h"
#include "device/device_link.h"
#include "engine/board_access.h"
#include "engine/timer_tick.h"
#include "sequencer/loader.h"
#include "shell/mode_file.h"

namespace kt57 {
namespace {

constexpr char titleTemplate[] = "KT57D                    ";
constexpr int titleLength = 24;
constexpr int titleSerialColumn = 16;
constexpr int openAttempts = 100;
constexpr int openRetryMilliseconds = 10;
constexpr int firstScreenMilliseconds = 1000;
constexpr int firstTimerMilliseconds = 10;

// The start-up failures leave no context open: nothing is drawn until the next paint.
void drawStartUpFailure(ConsoleState& console, const PlacedText& text) {
    closeTextContext(console);
    openTextContext(console, paletteRed);
    drawText(console, text);
    closeTextContext(console);
}

void composeTitle(Application& app) {
    char* title = app.shell.windowTitle;
    std::memcpy(title, titleTemplate, titleLength);
    title[titleLength] = '\0';
    if (app.sequencer.link.serialNumber[0] != '\0') {
        std::memcpy(title + titleSerialColumn, app.sequencer.link.serialNumber, serialNumberLength);
    }
}

void openBoardAtStartUp(Application& app) {
    Sequencer& s = app.sequencer;
    for (int attempt = 0; attempt < openAttempts; ++attempt) {
        openBoard(s);
        if (s.link.linkState == LinkState::Open) return;
        app.wait->waitMilliseconds(openRetryMilliseconds);
    }
}

void repaint(Application& app) {
    Sequencer& s = app.sequencer;
    closeTextContext(s.console);
    openTextContext(s.console, 0);
    // Without a board or a program the window keeps only what start-up drew, now cleared.
    if (s.link.linkState == LinkState::NoBoard || s.program.lineCount == 0) return;
    drawHeader(s.console, s.program, s.run);
    drawLoopCounter(s.console, s.machine);
    s.console.listingDirty = 1;
    drawStatusRow(s.console, s.program, s.run);
    drawVersionText(s.console);
    // The status line waits for the engine's next periodic refresh.
}

void destroyed(Application& app) {
    Sequencer& s = app.sequencer;
    s.timer->killTimer();
    closeTextContext(s.console);
    if (s.link.linkState == LinkState::Open) {
        s.link.driver->FT_Close(s.link.handle);  // no wait and no state change: the process ends
    }
    app.window->postQuit(0);
}

void endProgram(Application& app) {
    Sequencer& s = app.sequencer;
    writeModeFile(app.directory, *app.files, s.run, app.shell, s.link, *s.observer);
    app.window->destroy();
}

}  // namespace

int startUp(Application& app) {
    Sequencer& s = app.sequencer;
    s.link.serialNumber[0] = '\0';
    readModeFile(app.directory, *app.files, s.run, s.console, app.shell, s.link);
    composeTitle(app);  // before the first open: a serial number learned from the board never shows
    if (!app.window->create(app.shell.windowTitle)) return 0;
    app.window->showAndUpdate();

    closeTextContext(s.console);
    openTextContext(s.console, 0);
    drawText(s.console, placedBanner);

    openBoardAtStartUp(app);
    if (s.link.linkState != LinkState::Open) {
        drawStartUpFailure(s.console, placedNoConnection);
        s.link.linkState = LinkState::NoBoard;
        return 1;
    }

    loadProgram(s.program, app.directory, *app.files);
    if (s.program.lineCount < 1) {
        drawStartUpFailure(s.console, placedNoProgramData);
    } else {
        app.wait->waitMilliseconds(firstScreenMilliseconds);
        drawHeader(s.console, s.program, s.run);
        if (s.run.runMode == RunMode::Manual || s.run.runMode == RunMode::Step) {
            s.run.nextLine = s.program.lineCount;  // these modes start stopped
            s.run.continueLine = s.program.lineCount;
        }
        s.run.breakLine = s.program.lineCount;
        drawVersionText(s.console);
        s.timer->setTimer(firstTimerMilliseconds);
    }
    // The engine reopens the board for its first device command.
    releaseBoard(s);
    return 1;
}

void handleEvent(Application& app, const ShellEvent& event) {
    Sequencer& s = app.sequencer;
    switch (event.kind) {
        case ShellEventKind::MenuCommand:
            if (event.command == endProgramCommand) endProgram(app);
            break;
        case ShellEventKind::Destroyed:
            destroyed(app);
            break;
        case ShellEventKind::Repaint:
            repaint(app);
            break;
        case ShellEventKind::Character:
            handleKey(s.console, s.program, s.run, event.character, KeySource::Typed);
            break;
        case ShellEventKind::PostedCommand:
            handleKey(s.console, s.program, s.run, event.character, KeySource::Posted);
            break;
        case ShellEventKind::Tick:
            timerTick(s);
            break;
        case ShellEventKind::Click:
        case ShellEventKind::DoubleClick:
            handleClick(s.console, s.program, s.run, event.x, event.y);
            break;
    }
}

}  // namespace kt57
