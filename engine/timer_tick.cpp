// The timer tick: the sequencer's main loop. Every step runs in a fixed order that the keys,
// the console and the link rely on; see the comments at each step for the reasons.
#include "engine/timer_tick.h"

#include <cstdio>

#include "console/screen.h"
#include "console/text_context.h"
#include "device/device_link.h"
#include "engine/board_access.h"
#include "sequencer/instruction_set.h"
#include "sequencer/opcode.h"
#include "sequencer/reply.h"

namespace kt57 {
namespace {

constexpr int runningInterval = 10;
constexpr int sleepingInterval = 100;
constexpr int refreshPeriod = 20;
constexpr int replyPollLimit = 100;
constexpr int burstLimit = 200;
constexpr int releasePeriod = 10;
constexpr int connectLimit = 100;

bool isStopped(const Sequencer& s) { return stopped(s.run, s.program.lineCount); }

void stopProgram(Sequencer& s) { s.run.nextLine = s.program.lineCount; }

void drawStatusLine(Sequencer& s, const PlacedText& text) { drawText(s.console, text); }

void dataErrorStop(Sequencer& s) {
    releaseBoard(s);
    s.run.replyWait = 0;
    drawErrorText(s.console, placedDataError);
    stopProgram(s);
    s.observer->errorStopped(ErrorStop::Data, s.run.currentLine);
}

void loopErrorStop(Sequencer& s) {
    s.run.burstCount = 0;
    drawErrorText(s.console, placedLoopError);
    stopProgram(s);
    s.observer->errorStopped(ErrorStop::Loop, s.run.currentLine);
}

void deviceErrorStop(Sequencer& s) {
    const int32_t line = s.run.nextLine;  // the command that could not be sent; the stop moves nextLine
    s.run.connectFailures = 0;
    drawErrorText(s.console, placedDeviceError);
    stopProgram(s);
    s.run.continueLine = s.program.lineCount;  // nothing sensible to resume after a lost board
    s.observer->errorStopped(ErrorStop::Device, line);
}

// The frames show only in the detail view.
void showFrame(Sequencer& s, ScreenPlace place, const unsigned char* frame, int length) {
    if (s.console.detailView == 1) drawText(s.console, place, reinterpret_cast<const char*>(frame), length);
}

// Returns true when the tick ends with the countdown: the 100 ms timer that started the sleep
// keeps firing untouched, so the countdown never re-arms it.
bool countDownSleep(Sequencer& s) {
    RunControl& run = s.run;
    if (run.sleepTicks <= 0) return false;
    const int seconds = run.sleepTicks / 10 + (run.sleepTicks % 10 != 0 ? 1 : 0);
    char text[64];  // 37 bytes for one digit; the longest sleep (nine digits) needs 45
    const int length = std::snprintf(text, sizeof text, sleepFormat, seconds);
    if (length > 0 && length < static_cast<int>(sizeof text)) drawText(s.console, statusLinePlace, text, length);
    run.sleepTicks -= 1;
    return run.sleepTicks != 0;
}

// The status line every 20th tick; while stopped or stepping it also lets the board go.
void refreshStatus(Sequencer& s) {
    RunControl& run = s.run;
    run.refreshTick += 1;
    if (run.refreshTick < refreshPeriod) return;
    run.refreshTick = 0;
    if (!isStopped(s) && run.runMode != RunMode::Step) {
        drawStatusLine(s, placedRunning);
        return;
    }
    const bool canContinue = run.continueLine < s.program.lineCount;
    if (isStopped(s)) {
        if (run.runMode == RunMode::Step) {
            drawStatusLine(s, canContinue ? placedStoppedStepContinue : placedStoppedStep);
        } else {
            drawStatusLine(s, canContinue ? placedStoppedAutoContinue : placedStoppedAuto);
        }
    } else if (run.stepPhase == StepPhase::WaitingForEnter) {
        drawStatusLine(s, placedSteppingWait);
    } else {
        drawStatusLine(s, placedStepping);
    }
    if (run.replyWait == 0) releaseBoard(s);  // never while a reply is on its way
    drawStatusRow(s.console, s.program, run);
}

// A short read or a driver failure counts the same as silence: only the limit ends it.
void pollForReply(Sequencer& s) {
    RunControl& run = s.run;
    if (run.replyWait <= 0) return;
    unsigned char reply[frameLength] = {};
    const int received = pollReply(s.link, reply);
    s.observer->replyPolled(received);
    if (received > 0) showFrame(s, replyFramePlace, reply, received);
    if (received >= frameLength) {
        const MachineState before = s.machine;
        applyReply(s.machine, reply);
        s.observer->replyApplied(before, s.machine, reply);
        if (run.runMode == RunMode::Step) {
            run.stepPhase = StepPhase::WaitingForEnter;
            releaseBoard(s);
        }
        run.replyWait = 0;
        return;
    }
    run.replyWait += 1;
    if (run.replyWait > replyPollLimit) dataErrorStop(s);
}

bool burstMayRun(const Sequencer& s) {
    const RunControl& run = s.run;
    return !isStopped(s) && run.replyWait == 0 && (run.runMode != RunMode::Step || run.stepPhase == StepPhase::Granted || run.nextLine == 0);
}

// Control instructions until a device command, a sleep, a stop or the limit.
void runBurst(Sequencer& s) {
    RunControl& run = s.run;
    const ProgramStore& program = s.program;
    run.burstCount = 0;
    for (;;) {
        run.currentLine = run.nextLine;
        const bool onLine = run.currentLine >= 0 && run.currentLine < program.lineCount;
        const int32_t opcode = onLine ? program.lines[run.currentLine].opcode : DeviceCommandLine;
        const LineOutcome outcome = executeLine(program, s.machine, run);
        s.observer->lineExecuted(outcome);
        if (opcode == Set || opcode == Dec) drawLoopCounter(s.console, s.machine);
        if (opcode == Slp) releaseBoard(s);

        if (outcome == LineOutcome::DeviceCommand) return;
        if (outcome == LineOutcome::Skipped) continue;  // the end of the program reports DeviceCommand

        run.continueLine = run.nextLine;
        run.releaseCount += 1;
        if (run.releaseCount > releasePeriod) {
            run.releaseCount = 0;
            if (run.runMode != RunMode::Automatic) releaseBoard(s);
        }
        if (run.currentLine == run.breakLine) {
            stopProgram(s);
            drawStatusRow(s.console, program, run);
            run.sleepTicks = 0;  // a sleep on the break line does not sleep
            return;
        }
        drawStatusRow(s.console, program, run);
        if (run.runMode == RunMode::Step) {
            run.stepPhase = StepPhase::WaitingForEnter;
            run.sleepTicks = 0;  // in step mode an SLP is the step itself
            return;
        }
        if (outcome == LineOutcome::SleepStarted) return;
        run.burstCount += 1;
        if (run.burstCount > burstLimit) {
            loopErrorStop(s);
            return;
        }
        if (isStopped(s)) return;
    }
}

bool sendMayRun(const Sequencer& s) {
    const RunControl& run = s.run;
    return !isStopped(s) && run.replyWait == 0 &&
           (run.runMode != RunMode::Step || run.stepPhase == StepPhase::Granted || (run.stepPhase == StepPhase::None && run.nextLine == 0));
}

// At most one command frame per tick; a closed board is reopened first.
void sendNextCommand(Sequencer& s) {
    RunControl& run = s.run;
    if (s.link.linkState == LinkState::Closed) openBoard(s);
    if (s.link.linkState == LinkState::Open) {
        unsigned char frame[frameLength];
        if (sendCommand(s.link, s.machine.outputRegister, s.program.lines[run.nextLine].text, frame) >= 0) {
            showFrame(s, commandFramePlace, frame, frameLength);
        }
        run.replyWait = 1;
        run.currentLine = run.nextLine;
        run.nextLine += 1;
        run.continueLine = run.nextLine;
        run.stepPhase = StepPhase::None;
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
    // Killed first and set again last, so that a slow tick never overlaps the next one.
    s.timer->killTimer();
    refreshStatus(s);
    pollForReply(s);
    if (burstMayRun(s)) runBurst(s);
    if (s.run.sleepTicks != 0) {
        s.timer->setTimer(sleepingInterval);
        return;
    }
    if (sendMayRun(s)) sendNextCommand(s);
    s.timer->setTimer(runningInterval);
}

}  // namespace kt57
