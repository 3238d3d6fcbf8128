// kt57-run's events file into its parser, and what it accepts into a short headless run. Every
// accepted event must be one the run can take; every refusal names the file and the line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/sequencer_checks.h"
#include "platform/headless/headless_run.h"
#include "sequencer/loader.h"
#include "tests/support/scratch_files.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/run_trace.h"

using kt57::HeadlessEvent;
using kt57::HeadlessEventKind;

namespace {

std::string directory;

void checkEvent(const HeadlessEvent& event, int lines) {
    KT57_FUZZ_CHECK(event.at >= 0 && event.at <= (int64_t{1} << 53));
    KT57_FUZZ_CHECK(event.sourceLine >= 1 && event.sourceLine <= lines);
    switch (event.kind) {
        case HeadlessEventKind::Key:
            KT57_FUZZ_CHECK(event.code <= 0xFFFF);
            break;
        case HeadlessEventKind::Post:
            KT57_FUZZ_CHECK(event.code == 'A' || event.code == 'P');
            break;
        case HeadlessEventKind::Click:
        case HeadlessEventKind::DoubleClick:
            break;
        case HeadlessEventKind::Input:
            KT57_FUZZ_CHECK(event.code <= 0xFFFFFF);
            break;
        case HeadlessEventKind::Latency:
            KT57_FUZZ_CHECK(event.code <= 1000000000u);
            break;
        default:
            break;
    }
    if (event.kind != HeadlessEventKind::Inject) KT57_FUZZ_CHECK(event.bytes.empty());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static const kt57::support::ScratchDirectory scratch("kt57-events-fuzz");
    directory = scratch.path();
    const std::string program = "010 WR@\nRD000000\nAND 000001\nJOK 010\nSLP 0.2\nJMP 010\n";
    KT57_FUZZ_CHECK(kt57::support::writeFile(directory + "/" + kt57::programFileName, program));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int lines = 0;
    for (char c : text) lines += c == '\n';
    if (!text.empty() && text.back() != '\n') ++lines;

    std::vector<HeadlessEvent> events;
    std::string error;
    if (!kt57::parseEvents(text, "events.txt", events, error)) {
        KT57_FUZZ_CHECK(error.rfind("events.txt:", 0) == 0);
        KT57_FUZZ_CHECK(error.find('\n') == std::string::npos);
        return 0;
    }
    KT57_FUZZ_CHECK(error.empty());
    int previousLine = 0;
    for (const HeadlessEvent& event : events) {
        checkEvent(event, lines);
        KT57_FUZZ_CHECK(event.sourceLine > previousLine);
        previousLine = event.sourceLine;
        // What kt57-run prints of injected bytes reads back as the same bytes.
        if (event.kind == HeadlessEventKind::Inject) {
            std::string decoded;
            KT57_FUZZ_CHECK(kt57::decodeFrameWord(kt57::formatFrame(event.bytes.data(), event.bytes.size()), decoded));
            KT57_FUZZ_CHECK(decoded == event.bytes);
        }
    }

    // The accepted events, folded into the first five seconds so that they all happen.
    kt57::HeadlessRun run({directory, "VB000001"});
    kt57::fuzz::TickCounts counts;
    kt57::fuzz::CheckingDriver driver(run, counts);
    run.useDriver(driver);
    run.onReport = [&](const HeadlessEvent&) { (void)run.canvas().render(); };
    for (HeadlessEvent event : events) {
        event.at = 1000 + event.at % 4000;
        run.post(event);
    }
    run.start();
    kt57::fuzz::runCheckedTo(run, counts, 7000);
    return 0;
}
