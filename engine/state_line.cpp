#include "engine/state_line.h"

#include <cstdio>

#include "device/board_protocol.h"

namespace kt57 {

int formatStateLine(const Sequencer& s, char (&text)[stateLineCapacity]) {
    const RunControl& run = s.run;
    const MachineState& machine = s.machine;
    const int length = std::snprintf(
        text, sizeof text,
        "state next=%d current=%d continue=%d break=%d count=%d mode=%c resume=%c phase=%d reply=%d "
        "sleep=%d in=%06X out=%06X pol=%06X flags=%06X cond=%d loop=%d link=%d",
        run.nextLine, run.currentLine, run.continueLine, run.breakLine, s.program.lineCount,
        static_cast<char>(run.runMode), static_cast<char>(run.resumeMode), static_cast<int>(run.stepPhase),
        run.replyWait, run.sleepTicks, static_cast<unsigned>(machine.inputRegister) & pinMask,
        static_cast<unsigned>(machine.outputRegister) & pinMask,
        static_cast<unsigned>(machine.polarityMask) & pinMask,
        static_cast<unsigned>(machine.flagRegister) & pinMask, machine.conditionFlag, machine.loopCounter,
        static_cast<int>(s.link.linkState));
    return length < 0 ? 0 : length;
}

}  // namespace kt57
