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
using kt57::fuzz::FuzzInput;

namespace {

std::string directory;
kt57::fuzz::TickCounts counts;
// KT57_FUZZ_VERBOSE=1 prints the program, the mode file and every event: for reading a crash.
bool verbose = false;

void writeFile(const char* name, const std::string& bytes) {
    KT57_FUZZ_CHECK(kt57::support::writeFile(directory + "/" + name, bytes));
}

// Programs from the instruction set's own words, so that loops, tests, sleeps and device
// commands are common; a raw-bytes program now and then keeps the loader's odd corners in play.
std::string program(FuzzInput& input) {
    if (input.range(0, 7) == 0) return input.text(600);
    static const char* const words[] = {
        "WR000001", "WR@",  "RD000000", "RD@",  "WRFFFFFF", "UX123456", "WR<100", "",     "/ note",
        "JMP ",     "POL ", "AND ",     "OR  ", "OR ",      "JNG ",     "JOK ",   "AN@ ", "OR@ ",
        "SET ",     "DEC",  "JNZ ",     "JZ  ", "JZ ",      "FST ",     "FMK ",   "FCH ", "NOP",
        "SLP ",     " ",
    };
    static const char* const sleeps[] = {"0.05", "0.1", "0.3", "1", "-1", "x", "1e9", "inf", "nan", "2147483647"};
    static const char* const operands[] = {"000000", "000001", "0000FF", "FFFFFF", "00ff00", "FF"};
    std::string text;
    const int lines = input.range(1, 40);
    for (int i = 0; i < lines && input.remaining() > 0; ++i) {
        const int label = input.range(0, 9);
        text += label == 0 ? std::string("    ") : "00" + std::to_string(label) + " ";
        const std::string word = words[input.range<size_t>(0, std::size(words) - 1)];
        text += word;
        if (word == "JMP " || word == "JNG " || word == "JOK " || word == "JNZ " || word == "JZ  " || word == "JZ ") {
            text += "00" + std::to_string(input.range(0, 9));
        } else if (word == "SET ") {
            text += std::to_string(input.range(0, 12));
        } else if (word == "SLP ") {
            text += sleeps[input.range<size_t>(0, std::size(sleeps) - 1)];
        } else if (word.size() == 4 || word == "OR ") {
            if (input.flag()) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "%06X", input.range(0, 0xFFFFFF));
                text += hex;
            } else {
                text += operands[input.range<size_t>(0, std::size(operands) - 1)];
            }
        }
        text += input.flag() ? "\n" : "\r\n";
    }
    return text;
}

void modeFile(FuzzInput& input) {
    static const char* const firstLines[] = {"A", "AD", "M", "MD", "S", "SD", "X"};
    static const char* const serials[] = {"VB000001", "VB000002", "", "vb000001"};
    const std::string path = directory + "/" + kt57::modeFileName;
    const int choice = input.range(0, 8);
    if (choice == 8) {
        std::remove(path.c_str());
        return;
    }
    std::string text = firstLines[choice % std::size(firstLines)];
    text += "\n";
    text += serials[input.range<size_t>(0, std::size(serials) - 1)];
    text += "\n";
    writeFile(kt57::modeFileName, text);
}

std::string injected(FuzzInput& input) {
    switch (input.range(0, 3)) {
        case 0: {  // a whole reply of a random type
            char frame[16];
            std::snprintf(frame, sizeof frame, "%cX%06X\r", "URWr"[input.range(0, 3)],
                          input.range(0, 0xFFFFFF));
            return frame;
        }
        case 1:
            return std::string("R0000", input.range(1, 5));  // a partial frame
        default:
            return input.text(40);
    }
}

// A driver failure switched on or off; it has no event of its own and is set between messages.
struct FaultSwitch {
    bool* which = nullptr;
    bool on = false;
};

HeadlessEvent event(FuzzInput& input, int64_t at, kt57::BoardFaults& faults, FaultSwitch& fault) {
    static const uint32_t keys[] = {'G', 'g', 'C', 'c', 'S', 's', 13, 27, 'A', 'P', 'M', ' ', 'x'};
    fault = {};
    switch (input.range(0, 19)) {
        case 0: case 1: case 2: case 3: {
            const uint32_t code = input.flag() ? keys[input.range<size_t>(0, std::size(keys) - 1)]
                                                      : input.any<uint8_t>();
            const bool posted = input.range(0, 3) == 0;
            return posted ? HeadlessEvent::post(at, code) : HeadlessEvent::key(at, code);
        }
        case 4: case 5: case 6: {
            // Mostly on the listing's cells; sometimes anywhere a 16-bit coordinate reaches.
            uint16_t x;
            uint16_t y;
            if (input.flag()) {
                x = static_cast<uint16_t>(10 + 200 * input.range<uint32_t>(0, 11) + input.range<uint32_t>(0, 199));
                y = static_cast<uint16_t>(110 + 20 * input.range<uint32_t>(0, 25) + input.range<uint32_t>(0, 19));
            } else {
                x = input.any<uint16_t>();
                y = input.any<uint16_t>();
            }
            return HeadlessEvent::click(at, x, y, input.flag(), input.flag(), input.range(0, 3) == 0);
        }
        case 7: return HeadlessEvent::of(at, HeadlessEventKind::Paint);
        case 8:
            return HeadlessEvent::of(at, HeadlessEventKind::Menu,
                                     input.range(0, 7) == 0 ? kt57::endProgramCommand : input.any<uint16_t>());
        case 9: return HeadlessEvent::of(at, input.range(0, 7) == 0 ? HeadlessEventKind::Close : HeadlessEventKind::Paint);
        case 10: return HeadlessEvent::of(at, HeadlessEventKind::Input, input.any<uint32_t>());
        case 11: return HeadlessEvent::of(at, HeadlessEventKind::Latency, input.range<uint32_t>(0, 1500));
        case 12: return HeadlessEvent::of(at, input.flag() ? HeadlessEventKind::Unplug : HeadlessEventKind::Plug);
        case 13: return HeadlessEvent::of(at, input.flag() ? HeadlessEventKind::Mute : HeadlessEventKind::Unmute);
        case 14: case 15: return HeadlessEvent::inject(at, injected(input));
        default: {
            fault.on = input.flag();
            bool* const switches[] = {&faults.openFails, &faults.writeFails, &faults.statusFails, &faults.readFails};
            fault.which = switches[input.range(0, 3)];
            return HeadlessEvent::of(at, HeadlessEventKind::State);
        }
    }
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
