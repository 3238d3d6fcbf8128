// Start-up, the window procedure's handling, repaint, end program and destruction, written once
// for every shell. Each shell turns its native events into handleWindowMessage calls.
#include "shell/application.h"

#include <cstring>

#include "console/controls.h"
#include "console/screen.h"
#include "console/screen_texts.h"
#include "console/text_context.h"
#include "device/device_link.h"
#include "sequencer/engine.h"
#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "shell/window_messages.h"

namespace kt57 {
namespace {

constexpr char titleTemplate[] = "KT57D                    ";
constexpr int titleLength = 24;
constexpr int titleSerialColumn = 16;
constexpr int serialLength = 8;
constexpr int openAttempts = 100;
constexpr int openRetryMilliseconds = 10;
constexpr int firstScreenMilliseconds = 1000;
constexpr int firstTimerMilliseconds = 10;

void wait(Application& app, int milliseconds) {
    if (app.wait != nullptr) app.wait->waitMilliseconds(milliseconds);
}

FileService& files(Application& app, StandardFiles& standard) {
    return app.files != nullptr ? *app.files : standard;
}

// The start-up failures leave no context open: nothing is drawn until the next paint.
void drawStartUpFailure(ConsoleState& console, const char* text, int length) {
    closeTextContext(console);
    openTextContext(console, 4);
    drawText(console, 10, 10, text, length);
    closeTextContext(console);
}

void drawVersionText(ConsoleState& console) { drawText(console, 310, 10, versionText, versionLength); }

void composeTitle(Application& app) {
    char* title = app.shell.windowTitle;
    std::memcpy(title, titleTemplate, titleLength);
    title[titleLength] = '\0';
    if (app.sequencer.link.serialNumber[0] != '\0') {
        std::memcpy(title + titleSerialColumn, app.sequencer.link.serialNumber, serialLength);
    }
}

void openBoard(Application& app) {
    Sequencer& s = app.sequencer;
    for (int attempt = 0; attempt < openAttempts; ++attempt) {
        s.link.linkState = openLink(s.link);
        if (s.observer != nullptr) s.observer->linkOpened(s.link.linkState);
        if (s.link.linkState > 0) return;
        wait(app, openRetryMilliseconds);
    }
}

void repaint(Application& app) {
    Sequencer& s = app.sequencer;
    closeTextContext(s.console);
    openTextContext(s.console, 0);
    // Without a board or a program the window keeps only what start-up drew, now cleared.
    if (s.link.linkState < 0 || s.program.lineCount == 0) return;
    drawHeader(s.console, s.program, s.run);
    drawLoopCounter(s.console, s.machine);
    s.console.listingDirty = 1;
    drawStatusRow(s.console, s.program, s.run);
    drawVersionText(s.console);
    // The status line at (10, 10) waits for the engine's next periodic refresh.
}

void destroyed(Application& app) {
    Sequencer& s = app.sequencer;
    if (s.timer != nullptr) s.timer->killTimer();
    closeTextContext(s.console);
    if (s.link.linkState > 0 && s.link.driver != nullptr) {
        s.link.driver->FT_Close(s.link.handle);  // no wait and no state change: the process ends
    }
    if (app.window != nullptr) app.window->postQuit(0);
}

void endProgram(Application& app) {
    Sequencer& s = app.sequencer;
    StandardFiles standard;
    writeModeFile(app.directory, files(app, standard), s.run, app.shell, s.link, s.observer);
    if (app.window != nullptr) app.window->destroy();
}

}  // namespace

int startUp(Application& app) {
    Sequencer& s = app.sequencer;
    s.link.serialNumber[0] = '\0';
    StandardFiles standard;
    readModeFile(app.directory, files(app, standard), s.run, s.console, app.shell, s.link);
    composeTitle(app);  // before the first open: a serial number learned from the board never shows
    if (app.window == nullptr || !app.window->create(app.shell.windowTitle)) return 0;
    app.window->showAndUpdate();

    closeTextContext(s.console);
    openTextContext(s.console, 0);
    drawText(s.console, 20, 40, titleBannerText, titleBannerLength);

    openBoard(app);
    if (s.link.linkState < 1) {
        drawStartUpFailure(s.console, noConnectionText, noConnectionLength);
        s.link.linkState = -1;
        return 1;
    }

    loadProgram(s.program, app.directory, files(app, standard));
    if (s.program.lineCount < 1) {
        drawStartUpFailure(s.console, noProgramDataText, noProgramDataLength);
    } else {
        wait(app, firstScreenMilliseconds);
        drawHeader(s.console, s.program, s.run);
        if (s.run.runMode == 'M' || s.run.runMode == 'S') {
            s.run.nextLine = s.program.lineCount;  // these modes start stopped
            s.run.continueLine = s.program.lineCount;
        }
        s.run.breakLine = s.program.lineCount;
        drawVersionText(s.console);
        if (s.timer != nullptr) s.timer->setTimer(firstTimerMilliseconds);
    }
    // The engine reopens the board for its first device command.
    releaseLink(s.link, s.run);
    return 1;
}

void handleWindowMessage(Application& app, uint32_t message, uint64_t wParam, int64_t lParam) {
    Sequencer& s = app.sequencer;
    switch (message) {
        case messageCommand:
            if ((wParam & 0xFFFFu) == endProgramCommand) endProgram(app);
            break;
        case messageDestroy:
            destroyed(app);
            break;
        case messagePaint:
            repaint(app);
            break;
        case messageChar:
            handleKey(s.console, s.program, s.run, static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
            break;
        case messageTimer:
            timerTick(s);
            break;
        case messageLeftButtonDown:
        case messageLeftButtonDoubleClick: {
            const auto bits = static_cast<uint64_t>(lParam);
            handleClick(s.console, s.program, s.run, static_cast<uint32_t>(bits & 0xFFFFu),
                        static_cast<uint32_t>((bits >> 16) & 0xFFFFu));
            break;
        }
        default:
            break;
    }
}

}  // namespace kt57
