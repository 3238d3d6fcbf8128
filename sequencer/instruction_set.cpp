#include "sequencer/instruction_set.h"

#include "sequencer/opcode.h"
#include "sequencer/sleep_time.h"

namespace kt57 {

LineOutcome executeLine(const ProgramStore& store, MachineState& machine, RunControl& run) {
    if (run.nextLine < 0 || run.nextLine >= store.lineCount) {
        return LineOutcome::DeviceCommand;
    }
    const ProgramLine& line = store.lines[run.nextLine];
    const int32_t next = run.nextLine + 1;
    const int32_t operand = line.operand;

    // Every case returns; a value no case names falls out below and is a device command.
    switch (static_cast<OpCode>(line.opcode)) {
    case Jmp:
        run.nextLine = line.target;
        return LineOutcome::Executed;
    case Pol:
        if (operand >= 0) machine.polarityMask = operand;
        run.nextLine = next;
        return LineOutcome::Executed;
    case And:
        if (operand >= 0) machine.conditionFlag = (machine.inputRegister & operand) == operand ? 1 : 0;
        run.nextLine = next;
        return LineOutcome::Executed;
    case Or:
    case OrShort:
        if (operand >= 0) machine.conditionFlag = (machine.inputRegister & operand) != 0 ? 1 : 0;
        run.nextLine = next;
        return LineOutcome::Executed;
    case Jng:
        run.nextLine = machine.conditionFlag == 0 ? line.target : next;
        return LineOutcome::Executed;
    case Jok:
        run.nextLine = machine.conditionFlag != 0 ? line.target : next;
        return LineOutcome::Executed;
    case AndOutput:
        if (operand >= 0) machine.outputRegister &= operand;
        run.nextLine = next;
        return LineOutcome::Executed;
    case OrOutput:
        if (operand >= 0) machine.outputRegister |= operand;
        run.nextLine = next;
        return LineOutcome::Executed;
    case Set: {
        const int32_t count = readSetCount(line.text);
        if (count > 0) machine.loopCounter = count;
        run.nextLine = next;
        return LineOutcome::Executed;
    }
    case Dec:
        machine.loopCounter = machine.loopCounter > 0 ? machine.loopCounter - 1 : 0;
        run.nextLine = next;
        return LineOutcome::Executed;
    case Jnz:
        run.nextLine = machine.loopCounter != 0 ? line.target : next;
        return LineOutcome::Executed;
    case Jz:
    case JzShort:
        run.nextLine = machine.loopCounter == 0 ? line.target : next;
        return LineOutcome::Executed;
    // The flag instructions ignore 000000, so that FMK 000000 cannot wipe every flag.
    case Fst:
        if (operand > 0) machine.flagRegister |= operand;
        run.nextLine = next;
        return LineOutcome::Executed;
    case Fmk:
        if (operand > 0) machine.flagRegister &= operand;
        run.nextLine = next;
        return LineOutcome::Executed;
    case Fch:
        if (operand > 0) machine.conditionFlag = (machine.flagRegister & operand) != 0 ? 1 : 0;
        run.nextLine = next;
        return LineOutcome::Executed;
    case Nop:
        run.nextLine = next;
        return LineOutcome::Executed;
    case Slp: {
        const SleepTime sleep = readSleepTime(line.text);
        run.nextLine = next;
        if (sleep.ticks > 0) {
            run.sleepTicks = sleep.ticks;
            return LineOutcome::SleepStarted;
        }
        return LineOutcome::Skipped;
    }
    case Blank:
        if (run.runMode == RunMode::Step) run.stepPhase = StepPhase::Granted;
        run.nextLine = next;
        return LineOutcome::Skipped;
    case DeviceCommandLine:
        break;
    }
    return LineOutcome::DeviceCommand;
}

}  // namespace kt57
