// The whole sequencer on the headless shell: a fuzzed program and mode file, then a fuzzed
// sequence of ticks, keys, posted commands, clicks with modifiers, repaints, menu commands and
// board faults. After every message the machine's invariants are checked, and each tick may
// execute at most 201 control instructions and send at most one command frame.
//
// The instruction count comes from the run observer, which hears of every line the engine executes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/rehearsal_inputs.h"
#include "fuzz/sequencer_checks.h"
#include "platform/headless/headless_run.h"
#include "sequencer/instruction_set.h"
#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "shell/shell_event.h"
#include "tests/support/scratch_files.h"

using kt57::HeadlessEvent;
using kt57::HeadlessEventKind;
using kt57::LineOutcome;
using kt57::fuzz::FaultSwitch;
using kt57::fuzz::FuzzInput;
using kt57::fuzz::event;
using kt57::fuzz::program;

namespace {

std::string directory;
kt57::fuzz::TickCounts counts;
// KT57_FUZZ_VERBOSE=1 prints the program, the mode file and every event: for reading a crash.
bool verbose = false;

void writeFile(const char* name, const std::string& bytes) {
    KT57_FUZZ_CHECK(kt57::support::writeFile(directory + "/" + name, bytes));
}

void modeFile(FuzzInput& input) {
    const std::optional<std::string> text = kt57::fuzz::modeText(input);
    if (text) writeFile(kt57::modeFileName, *text);
    else std::remove((directory + "/" + kt57::modeFileName).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static const kt57::support::ScratchDirectory scratch("kt57-sequencer-fuzz");
    directory = scratch.path();
    verbose = std::getenv("KT57_FUZZ_VERBOSE") != nullptr;
    return 0;
}

namespace {

// Everything a run leaves that the next run of the same input must leave too.
std::string fingerprint(kt57::HeadlessRun& run) {
    const kt57::Sequencer& s = run.sequencer();
    char text[512];
    std::snprintf(text, sizeof text,
                  "t=%lld ticks=%d next=%d cur=%d cont=%d brk=%d mode=%c%c%c phase=%d wait=%d sleep=%d refresh=%d "
                  "burst=%d release=%d fails=%d in=%d out=%d pol=%d cond=%d flags=%d loop=%d link=%d serial=%s board=%u\n",
                  static_cast<long long>(run.now()), run.ticksDelivered(), s.run.nextLine, s.run.currentLine,
                  s.run.continueLine, s.run.breakLine, static_cast<char>(s.run.runMode), static_cast<char>(s.run.resumeMode),
                  static_cast<char>(s.run.savedMode), static_cast<int>(s.run.stepPhase),
                  s.run.replyWait, s.run.sleepTicks, s.run.refreshTick, s.run.burstCount, s.run.releaseCount,
                  s.run.connectFailures, s.machine.inputRegister, s.machine.outputRegister, s.machine.polarityMask,
                  s.machine.conditionFlag, s.machine.flagRegister, s.machine.loopCounter, static_cast<int>(s.link.linkState),
                  s.link.serialNumber, run.board().model.outputs);
    return text + run.canvas().render();
}

std::string runOnce(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const std::string programText = program(input);
    writeFile(kt57::programFileName, programText);
    modeFile(input);
    if (verbose) std::fprintf(stderr, "program:\n%s\n", programText.c_str());

    kt57::HeadlessRun run({directory, "VB000001"});
    kt57::fuzz::CheckingDriver driver(run, counts);
    kt57::fuzz::CheckingSurface surface(run.canvas(), counts);
    kt57::fuzz::CheckingObserver observer(run, counts);
    run.useDriver(driver);
    run.useSurface(surface);
    run.setObserver(&observer);
    run.start();
    kt57::fuzz::checkSequencer(run.sequencer());

    auto runTo = [&](int64_t limit) { kt57::fuzz::runCheckedTo(run, counts, limit); };

    int64_t at = run.now();
    for (int events = 0; events < 64 && input.remaining() > 0 && !run.finished(); ++events) {
        at += input.flag() ? input.range(0, 40) : input.range(0, 1500);
        FaultSwitch fault;
        const HeadlessEvent next = event(input, at, run.board().faults, fault);
        runTo(at);
        if (verbose) {
            std::fprintf(stderr, "%lld: kind %d code %u at (%u, %u) ctrl %d shift %d, fault %d on %d\n",
                         static_cast<long long>(at), static_cast<int>(next.kind), next.code, next.x, next.y,
                         next.control, next.shift, fault.which != nullptr, fault.on);
        }
        if (fault.which != nullptr) *fault.which = fault.on;
        else run.post(next);
    }
    // Long enough for every wait to end: a reply time-out, a reconnect limit, a short sleep.
    runTo(at + 3000);
    return fingerprint(run);
}

}  // namespace

// Run twice: the records are the caller's and nothing else may carry state from run to run, so
// a second run that differs shows a hidden global or a read of uninitialised memory.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string first = runOnce(data, size);
    const std::string second = runOnce(data, size);
    KT57_FUZZ_CHECK(first == second);
    return 0;
}
