// Bytes pushed into the virtual board's receive queue while a program runs: partial, extra and
// garbled frames, between the board's own replies, with the board muted, unplugged or failing.
// The run observer hears of every poll and every reply applied, so each is checked against what
// the queue held and what the frame says.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/device_link.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/sequencer_checks.h"
#include "platform/headless/headless_run.h"
#include "sequencer/instruction_set.h"
#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "tests/support/scratch_files.h"

using kt57::HeadlessEvent;
using kt57::HeadlessEventKind;
using kt57::LineOutcome;
using kt57::fuzz::FuzzInput;

namespace {

std::string directory;
kt57::fuzz::TickCounts counts;
long framesApplied = 0;

// Writes, reads and tests the input, so replies of every type matter to the run.
constexpr char program[] =
    "010 WR@\r\n"
    "    RD000000\r\n"
    "    AND 000001\r\n"
    "    JOK 020\r\n"
    "    OR@ 000003\r\n"
    "    XX000000\r\n"
    "    JMP 010\r\n"
    "020 AN@ FFFFF0\r\n"
    "    UP123456\r\n"
    "    JMP 010\r\n";

void writeFile(const char* name, const std::string& bytes) {
    KT57_FUZZ_CHECK(kt57::support::writeFile(directory + "/" + name, bytes));
}

int32_t hexField(const unsigned char* frame) {
    int32_t value = 0;
    for (int i = 2; i < 8; ++i) {
        const unsigned char c = frame[i];
        if (c >= '0' && c <= '9') value = value * 16 + (c - '0');
        else if (c >= 'A' && c <= 'F') value = value * 16 + (c - 'A' + 10);
        else return -1;
    }
    return value;
}

}  // namespace

namespace {

// A poll takes a whole frame exactly when nine bytes are queued, and leaves the rest queued; the
// value field decides what a reply does to the registers.
class QueueObserver : public kt57::fuzz::CheckingObserver {
public:
    QueueObserver(kt57::HeadlessRun& run, kt57::fuzz::TickCounts& tickCounts, kt57::fuzz::CheckingDriver& driver)
        : CheckingObserver(run, tickCounts), run_(run), driver_(driver) {}

    void replyPolled(int received) override {
        kt57::VirtualBoard& board = run_.board();
        // What the board said when the poll asked it: a dead handle or a failing status, or the count.
        const uint32_t before = driver_.lastQueued;
        const size_t after = board.queuedBytes();
        if (driver_.lastStatus != kt57::FT_OK) {
            KT57_FUZZ_CHECK(received == -1);
        } else if (before < 9) {
            KT57_FUZZ_CHECK(received == 0 && after == before);
        } else if (board.faults.readFails) {
            KT57_FUZZ_CHECK(received == -1);
        } else {
            KT57_FUZZ_CHECK(received == 9 && after == before - 9);
        }
    }

    void replyApplied(const kt57::MachineState& before, const kt57::MachineState& after,
                      const unsigned char* frame) override {
        const int32_t value = hexField(frame);
        kt57::MachineState expected = before;
        if (value >= 0) {
            expected.outputRegister = value;
            if (frame[0] == 'R') expected.inputRegister = value ^ before.polarityMask;
            else if (frame[0] != 'U') expected.inputRegister = value;
        }
        KT57_FUZZ_CHECK(std::memcmp(&after, &expected, sizeof after) == 0);
        ++framesApplied;
    }

private:
    kt57::HeadlessRun& run_;
    kt57::fuzz::CheckingDriver& driver_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static const kt57::support::ScratchDirectory scratch("kt57-board-queue-fuzz");
    directory = scratch.path();
    writeFile(kt57::programFileName, program);
    std::remove((directory + "/" + kt57::modeFileName).c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    kt57::HeadlessRun run({directory, "VB000001"});
    kt57::fuzz::CheckingDriver driver(run, counts);
    QueueObserver observer(run, counts, driver);
    run.useDriver(driver);
    run.setObserver(&observer);
    run.start();

    auto runTo = [&](int64_t limit) { kt57::fuzz::runCheckedTo(run, counts, limit); };

    int64_t at = run.now();
    for (int events = 0; events < 96 && input.remaining() > 0; ++events) {
        at += input.range(0, 60);
        runTo(at);
        kt57::VirtualBoard& board = run.board();
        switch (input.range(0, 15)) {
            case 0: board.model.muted = !board.model.muted; break;
            case 1: board.latencyMilliseconds = input.range(0, 40); break;
            case 2: board.faults.statusFails = !board.faults.statusFails; break;
            case 3: board.faults.readFails = !board.faults.readFails; break;
            case 4: board.model.inputs = input.range<uint32_t>(0, 0xFFFFFF); break;
            case 5:
                if (input.flag()) board.unplug();
                else board.plug();
                break;
            case 6: run.post(HeadlessEvent::key(at, input.flag() ? 'G' : 27)); break;
            default: {
                const std::string bytes = input.text(input.range(1, 30));
                board.inject(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
                break;
            }
        }
    }
    runTo(at + 1500);
    return 0;
}
