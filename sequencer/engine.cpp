// The timer tick: the sequencer's main loop. Every step runs in a fixed order that the keys,
// the console and the link rely on; see the comments at each step for the reasons.
#include "sequencer/engine.h"

#include <cstdio>

#include "console/screen.h"
#include "console/screen_texts.h"
#include "console/text_context.h"
#include "device/device_link.h"
#include "sequencer/instruction_set.h"
#include "sequencer/opcode.h"

namespace kt57 {
namespace {

constexpr int statusX = 10;
constexpr int statusY = 10;
constexpr int messageX = 310;
constexpr int messageY = 10;
constexpr int runningInterval = 10;
constexpr int sleepingInterval = 100;
constexpr int refreshPeriod = 20;
constexpr int replyPollLimit = 100;
constexpr int burstLimit = 200;
constexpr int releasePeriod = 10;
constexpr int connectLimit = 100;

bool stopped(const Sequencer& s) { return s.run.nextLine >= s.program.lineCount; }

void stopProgram(Sequencer& s) { s.run.nextLine = s.program.lineCount; }

void drawStatusLine(Sequencer& s, const char* text, int length) {
    drawText(s.console, statusX, statusY, text, length);
}

void reportError(Sequencer& s, ErrorStop stop) {
    if (s.observer != nullptr) s.observer->errorStopped(stop);
}

void dataErrorStop(Sequencer& s) {
    releaseLink(s.link, s.run);
    s.run.replyWait = 0;
    drawErrorText(s.console, messageX, messageY, dataErrorText, dataErrorLength);
    stopProgram(s);
    reportError(s, ErrorStop::Data);
}

void loopErrorStop(Sequencer& s) {
    s.run.burstCount = 0;
    drawErrorText(s.console, messageX, messageY, loopErrorText, loopErrorLength);
    stopProgram(s);
    reportError(s, ErrorStop::Loop);
}

void deviceErrorStop(Sequencer& s) {
    s.run.connectFailures = 0;
    drawErrorText(s.console, messageX, messageY, deviceErrorText, deviceErrorLength);
    stopProgram(s);
    s.run.continueLine = s.program.lineCount;  // nothing sensible to resume after a lost board
    reportError(s, ErrorStop::Device);
}

void setTimer(Sequencer& s, int interval) {
    if (s.timer != nullptr) s.timer->setTimer(interval);
}

// Step 1. Returns true when the tick ends with the countdown: the 100 ms timer that started the
// sleep keeps firing untouched, so the countdown never re-arms it.
bool countDownSleep(Sequencer& s) {
    RunControl& run = s.run;
    if (run.sleepTicks <= 0) return false;
    const int seconds = run.sleepTicks / 10 + (run.sleepTicks % 10 != 0 ? 1 : 0);
    char text[64];  // 37 bytes for one digit; the longest sleep (nine digits) needs 45
    const int length = std::snprintf(text, sizeof text, sleepFormat, seconds);
    if (length > 0 && length < static_cast<int>(sizeof text)) drawStatusLine(s, text, length);
    run.sleepTicks -= 1;
    return run.sleepTicks != 0;
}

// Step 3: the status line every 20th tick; while stopped or stepping it also lets the board go.
void refreshStatus(Sequencer& s) {
    RunControl& run = s.run;
    run.refreshTick += 1;
    if (run.refreshTick < refreshPeriod) return;
    run.refreshTick = 0;
    if (!stopped(s) && run.runMode != 'S') {
        drawStatusLine(s, runningText, runningLength);
        return;
    }
    const bool canContinue = run.continueLine < s.program.lineCount;
    if (stopped(s)) {
        if (run.runMode == 'S') {
            if (canContinue) drawStatusLine(s, stoppedStepContinueText, stoppedStepContinueLength);
            else drawStatusLine(s, stoppedStepText, stoppedStepLength);
        } else {
            if (canContinue) drawStatusLine(s, stoppedAutoContinueText, stoppedAutoContinueLength);
            else drawStatusLine(s, stoppedAutoText, stoppedAutoLength);
        }
    } else if (run.stepPhase == 1) {
        drawStatusLine(s, steppingWaitText, steppingWaitLength);
    } else {
        drawStatusLine(s, steppingText, steppingLength);
    }
    if (run.replyWait == 0) releaseLink(s.link, run);  // never while a reply is on its way
    drawStatusRow(s.console, s.program, run);
}

// Step 4. A short read or a driver failure counts the same as silence: only the limit ends it.
void pollForReply(Sequencer& s) {
    RunControl& run = s.run;
    if (run.replyWait <= 0) return;
    unsigned char reply[frameLength] = {};
    const int received = pollReply(s.link, s.console, reply);
    if (received >= frameLength) {
        applyReply(s.machine, reply);
        if (run.runMode == 'S') {
            run.stepPhase = 1;
            releaseLink(s.link, run);
        }
        run.replyWait = 0;
        return;
    }
    run.replyWait += 1;
    if (run.replyWait > replyPollLimit) dataErrorStop(s);
}

bool burstMayRun(const Sequencer& s) {
    const RunControl& run = s.run;
    return !stopped(s) && run.replyWait == 0 && (run.runMode != 'S' || run.stepPhase == 2 || run.nextLine == 0);
}

// Step 6: control instructions until a device command, a sleep, a stop or the limit.
void runBurst(Sequencer& s) {
    RunControl& run = s.run;
    const ProgramStore& program = s.program;
    run.burstCount = 0;
    for (;;) {
        run.currentLine = run.nextLine;
        const bool onLine = run.currentLine >= 0 && run.currentLine < program.lineCount;
        const int32_t opcode = onLine ? program.lines[run.currentLine].opcode : DeviceCommandLine;
        const LineOutcome outcome = executeLine(program, s.machine, run);
        if (opcode == Set || opcode == Dec) drawLoopCounter(s.console, s.machine);
        if (opcode == Slp) releaseLink(s.link, run);

        if (outcome == LineOutcome::DeviceCommand) return;
        if (outcome == LineOutcome::Skipped) continue;  // the end of the program reports DeviceCommand

        run.continueLine = run.nextLine;
        run.releaseCount += 1;
        if (run.releaseCount > releasePeriod) {
            run.releaseCount = 0;
            if (run.runMode != 'A') releaseLink(s.link, run);
        }
        if (run.currentLine == run.breakLine) {
            stopProgram(s);
            drawStatusRow(s.console, program, run);
            run.sleepTicks = 0;  // a sleep on the break line does not sleep
            return;
        }
        drawStatusRow(s.console, program, run);
        if (run.runMode == 'S') {
            run.stepPhase = 1;
            run.sleepTicks = 0;  // in step mode an SLP is the step itself
            return;
        }
        if (outcome == LineOutcome::SleepStarted) return;
        run.burstCount += 1;
        if (run.burstCount > burstLimit) {
            loopErrorStop(s);
            return;
        }
        if (stopped(s)) return;
    }
}

bool sendMayRun(const Sequencer& s) {
    const RunControl& run = s.run;
    return !stopped(s) && run.replyWait == 0 &&
           (run.runMode != 'S' || run.stepPhase == 2 || (run.stepPhase == 0 && run.nextLine == 0));
}

// Step 8: at most one command frame per tick; a closed board is reopened first.
void sendNextCommand(Sequencer& s) {
    RunControl& run = s.run;
    if (s.link.linkState == 0) {
        s.link.linkState = openLink(s.link);
        if (s.observer != nullptr) s.observer->linkOpened(s.link.linkState);
    }
    if (s.link.linkState > 0) {
        sendCommand(s.link, s.machine, s.console, s.program.lines[run.nextLine].text);
        run.replyWait = 1;
        run.currentLine = run.nextLine;
        run.nextLine += 1;
        run.continueLine = run.nextLine;
        run.stepPhase = 0;
        if (run.currentLine == run.breakLine) stopProgram(s);
        drawStatusRow(s.console, s.program, run);
        return;
    }
    run.connectFailures += 1;
    if (run.connectFailures > connectLimit) deviceErrorStop(s);
}

}  // namespace

void timerTick(Sequencer& sequencer) {
    Sequencer& s = sequencer;
    if (countDownSleep(s)) return;
    if (s.timer != nullptr) s.timer->killTimer();
    refreshStatus(s);
    pollForReply(s);
    if (burstMayRun(s)) runBurst(s);
    if (s.run.sleepTicks != 0) {
        setTimer(s, sleepingInterval);
        return;
    }
    if (sendMayRun(s)) sendNextCommand(s);
    setTimer(s, runningInterval);
}

}  // namespace kt57
