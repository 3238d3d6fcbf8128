// kt57-run's events file into its parser, and what it accepts into a short headless run. Every
// accepted event must be one the run can take; every refusal names the file and the line. The
// expectations it accepts are checked against a second run, as kt57-run --test checks them: each
// is decided, each failure is a finding, and the report holds one case for each.
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
#include "tools/kt57-run/expectation_check.h"
#include "tools/kt57-run/finding.h"
#include "tools/kt57-run/junit_report.h"
#include "tools/kt57-run/run_trace.h"

using kt57::Expectation;
using kt57::ExpectationKind;
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

void checkExpectation(const Expectation& e, const std::vector<std::string>& lines) {
    KT57_FUZZ_CHECK(e.sourceLine >= 1 && e.sourceLine <= static_cast<int>(lines.size()));
    const std::string& line = lines[static_cast<size_t>(e.sourceLine - 1)];
    KT57_FUZZ_CHECK(e.from >= 0 && e.from <= e.to);
    KT57_FUZZ_CHECK(e.to == Expectation::openEnd || e.to <= (int64_t{1} << 53));
    KT57_FUZZ_CHECK(e.span || e.to == e.from || e.kind == ExpectationKind::Error);
    KT57_FUZZ_CHECK(e.column > 1 && static_cast<size_t>(e.column) <= line.size());
    KT57_FUZZ_CHECK(!e.text.empty() && line.find(e.text) != std::string::npos);
    switch (e.kind) {
        case ExpectationKind::Pins:
            KT57_FUZZ_CHECK((e.outputMask | e.inputMask) != 0);
            KT57_FUZZ_CHECK(e.outputMask <= kt57::pinMask && e.inputMask <= kt57::pinMask);
            KT57_FUZZ_CHECK((e.outputValue & ~e.outputMask) == 0 && (e.inputValue & ~e.inputMask) == 0);
            for (const kt57::ExpectedPin& pin : e.pins) {
                KT57_FUZZ_CHECK(pin.pin.index >= 0 && pin.pin.index < kt57::pinCount);
                const std::string name = kt57::pinNameText(pin.pin);
                KT57_FUZZ_CHECK(line.compare(static_cast<size_t>(pin.column - 1), name.size(), name) == 0);
            }
            break;
        case ExpectationKind::Reaction:
            KT57_FUZZ_CHECK(e.within >= 0 && e.within <= (int64_t{1} << 53));
            KT57_FUZZ_CHECK(e.trigger.index < kt57::pinCount && e.response.index < kt57::pinCount);
            break;
        case ExpectationKind::Line:
            KT57_FUZZ_CHECK(e.line >= 1 && e.line <= kt57::maxProgramLines);
            break;
        case ExpectationKind::Screen:
            KT57_FUZZ_CHECK(!e.screenText.empty() && line.find(e.screenText) != std::string::npos);
            break;
        default:
            break;
    }
}

// The moments folded into the run's first seconds, as the events are; a span keeps its length.
Expectation folded(Expectation e) {
    const int64_t shift = e.from - (1000 + e.from % 4000);
    e.from -= shift;
    if (e.to != Expectation::openEnd) e.to = e.to - shift > 9000 ? 9000 : e.to - shift;
    return e;
}

// The expectations against a run of the same events, as kt57-run --test checks them.
void checkVerdicts(const std::vector<HeadlessEvent>& events, const std::vector<Expectation>& accepted) {
    std::vector<Expectation> expectations;
    for (const Expectation& e : accepted) expectations.push_back(folded(e));
    kt57::HeadlessRun run({directory, "VB000001"});
    kt57::ExpectationChecker checker(expectations, run);
    run.setObserver(&checker);
    for (HeadlessEvent event : events) {
        event.at = 1000 + event.at % 4000;
        run.post(event);
    }
    kt57::rehearseChecked(run, checker, 7000);
    kt57::JunitSuite suite{"events.txt", "", {}};
    for (size_t i = 0; i < expectations.size(); ++i) {
        const kt57::Verdict& verdict = checker.verdicts()[i];
        KT57_FUZZ_CHECK(verdict.decided);
        kt57::JunitCase& test = suite.cases.emplace_back();
        test.name = expectations[i].text;
        test.line = expectations[i].sourceLine;
        for (const kt57::Failure& failure : verdict.failures) {
            KT57_FUZZ_CHECK(failure.message.rfind("expected ", 0) == 0);
            KT57_FUZZ_CHECK(failure.message.find('\n') == std::string::npos);
            const std::string finding = kt57::findingText("events.txt", expectations[i], failure);
            const std::string place = "events.txt:" + std::to_string(expectations[i].sourceLine) + ":";
            KT57_FUZZ_CHECK(finding.rfind(place, 0) == 0 && finding.find(": error: expected ") != std::string::npos);
            test.findings += finding;
            test.failure = failure.message;
        }
    }
    // The report holds a case for each, and nothing XML cannot carry.
    const std::string report = kt57::junitReport({suite});
    size_t cases = 0;
    for (size_t at = report.find("<testcase"); at != std::string::npos; at = report.find("<testcase", at + 1)) ++cases;
    KT57_FUZZ_CHECK(cases == expectations.size());
    for (const char c : report) KT57_FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\n');
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

    kt57::EventsFile file;
    std::string error;
    if (!kt57::parseEventsFile(text, "events.txt", file, error)) {
        KT57_FUZZ_CHECK(error.rfind("events.txt:", 0) == 0);
        KT57_FUZZ_CHECK(error.find('\n') == std::string::npos);
        return 0;
    }
    KT57_FUZZ_CHECK(error.empty());
    const std::vector<HeadlessEvent>& events = file.events;
    std::vector<std::string> sourceLines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        sourceLines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    for (const Expectation& expectation : file.expectations) checkExpectation(expectation, sourceLines);
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
    if (!file.expectations.empty()) checkVerdicts(events, file.expectations);
    return 0;
}
