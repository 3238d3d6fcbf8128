// The fault soak: a program of device commands runs headless for a long time while the board
// misbehaves, one fault at a time: muted, unplugged, garbage pushed into its receive queue, and
// failing writes, status queries and reads. It checks, and exits non-zero on the first breach:
//   - the invariants of the machine state and run control after every message, and the limits
//     of a tick (201 control instructions, one command frame);
//   - that every fault long enough to matter ends in its specified stop (a data error, or a
//     device connection error for a board gone for good), that no stop happens without a fault,
//     and that after every fault the run recovers: a whole valid reply is taken again, and an
//     unplugged board is opened again once it is back;
//   - that kt57-run's trace is complete: one line for every frame written, every frame read,
//     every open attempt, every close and every error stop.
// The faults that kt57-run has events for go through its events-file parser and can be written
// out (--events-out) to replay with kt57-run itself; write, status and read failures have no
// event there and are switched directly on the virtual board, as the headless shell allows.
//
//   fault_soak [--commands N] [--seed S] [--trace FILE] [--events-out FILE] [--directory DIR] [--quiet]
// --directory keeps the program file there (for kt57-run), instead of in a temporary folder.

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "device/hex.h"
#include "fuzz/sequencer_checks.h"
#include "platform/headless/headless_run.h"
#include "sequencer/instruction_set.h"
#include "sequencer/loader.h"
#include "tests/support/scratch_files.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/run_trace.h"

namespace {

using kt57::HeadlessEvent;
using kt57::HeadlessEventKind;

// Six device commands and a short sleep a loop; the sleep lets the board go, as programs do.
constexpr char soakProgram[] =
    "010 WR@\r\n"
    "    RD000000\r\n"
    "    AND 000001\r\n"
    "    JNG 020\r\n"
    "    OR@ 000100\r\n"
    "020 WR000055\r\n"
    "    RD000000\r\n"
    "    OR  000002\r\n"
    "    JOK 030\r\n"
    "    AN@ FFFEFF\r\n"
    "030 WR@\r\n"
    "    RD000000\r\n"
    "    SLP 0.1\r\n"
    "    JMP 010\r\n";

enum class Fault { Mute, Unplug, Garbage, WriteFails, StatusFails, ReadFails, Count };
const char* const faultNames[] = {"mute", "unplug", "garbage", "write-fails", "status-fails", "read-fails"};
constexpr int faultKinds = static_cast<int>(Fault::Count);

// How long a fault must last before its stop is certain, and which stop that is: a data error
// needs 100 silent polls after a send (about 1 s, plus the operator's restart); a device
// connection error needs a data error first when a reply was awaited, then 101 failed opens.
constexpr int64_t operatorDelay = 200;    // the operator restarts with G this long after a stop
constexpr int64_t longMute = 1600;        // and longer: a data error
constexpr int64_t longUnplug = 2800;      // and longer: a device connection error
constexpr int64_t stopAfterFault = 1600;  // a stop this long after a fault ended is still its own
constexpr int64_t recoveryWindow = 3000;  // a valid reply within this long after a fault ended

struct Options {
    long commands = 100000;
    uint32_t seed = 1;
    std::string traceFile;
    std::string eventsOut;
    std::string directory;
    bool quiet = false;
};

[[noreturn]] void breach(const kt57::HeadlessRun& run, const char* what, const char* detail = "") {
    std::fprintf(stderr, "fault soak: at %" PRId64 " ms: %s%s\n", run.now(), what, detail);
    std::exit(1);
}

// Totals of what reached the driver and the observer, to hold the trace against.
struct Totals {
    long writes = 0;
    long reads = 0;  // reads that returned bytes
    long closes = 0;
    long opens = 0;
    long openFailures = 0;
    long errors[3] = {};
    long validReplies = 0;
};

class CountingDriver : public kt57::FtDriver {
public:
    CountingDriver(kt57::FtDriver& inner, Totals& totals) : inner_(inner), totals_(totals) {}
    kt57::FT_STATUS FT_ListDevices(void* a, void* b, uint32_t flags) override { return inner_.FT_ListDevices(a, b, flags); }
    kt57::FT_STATUS FT_OpenEx(void* a, uint32_t flags, kt57::FT_HANDLE* handle) override { return inner_.FT_OpenEx(a, flags, handle); }
    kt57::FT_STATUS FT_SetChars(kt57::FT_HANDLE h, unsigned char a, unsigned char b, unsigned char c, unsigned char d) override {
        return inner_.FT_SetChars(h, a, b, c, d);
    }
    kt57::FT_STATUS FT_SetTimeouts(kt57::FT_HANDLE h, uint32_t r, uint32_t w) override { return inner_.FT_SetTimeouts(h, r, w); }
    kt57::FT_STATUS FT_GetStatus(kt57::FT_HANDLE h, uint32_t* rx, uint32_t* tx, uint32_t* ev) override {
        return inner_.FT_GetStatus(h, rx, tx, ev);
    }
    kt57::FT_STATUS FT_Read(kt57::FT_HANDLE h, void* buffer, uint32_t size, uint32_t* got) override {
        const kt57::FT_STATUS status = inner_.FT_Read(h, buffer, size, got);
        if (status == kt57::FT_OK && *got > 0) {
            ++totals_.reads;
            const auto* frame = static_cast<const unsigned char*>(buffer);
            if (*got == 9 && (frame[0] == 'U' || frame[0] == 'R') && frame[8] == '\r' &&
                kt57::parseHex(6, reinterpret_cast<const char*>(frame + 2)) >= 0)
                ++totals_.validReplies;
        }
        return status;
    }
    kt57::FT_STATUS FT_Write(kt57::FT_HANDLE h, const void* buffer, uint32_t size, uint32_t* written) override {
        ++totals_.writes;
        return inner_.FT_Write(h, buffer, size, written);
    }
    kt57::FT_STATUS FT_Close(kt57::FT_HANDLE h) override {
        ++totals_.closes;
        return inner_.FT_Close(h);
    }

private:
    kt57::FtDriver& inner_;
    Totals& totals_;
};

// What one delivered message did, for the per-tick limits.
kt57::fuzz::TickCounts tickCounts;

// The run's observer: kt57-run's trace lines, the totals, the error-stop checks, the instruction
// count and the operator.
class SoakObserver : public kt57::RunObserver {
public:
    SoakObserver(kt57::HeadlessRun& run, kt57::RunObserver& trace, Totals& totals)
        : run_(run), trace_(trace), checks_(run, tickCounts), totals_(totals) {}
    void lineExecuted(kt57::LineOutcome outcome) override { checks_.lineExecuted(outcome); }
    void linkOpened(int result) override {
        trace_.linkOpened(result);
        ++(result > 0 ? totals_.opens : totals_.openFailures);
    }
    void errorStopped(kt57::ErrorStop stop, int32_t line) override {
        trace_.errorStopped(stop, line);
        checks_.errorStopped(stop, line);
        ++totals_.errors[static_cast<int>(stop)];
        lastStop = run_.now();
        lastStopKind = stop;
        restartPending = true;
    }
    void modeFileWritten(const char* bytes, size_t size) override { trace_.modeFileWritten(bytes, size); }

    int64_t lastStop = -1;
    kt57::ErrorStop lastStopKind = kt57::ErrorStop::Data;
    bool restartPending = false;

private:
    kt57::HeadlessRun& run_;
    kt57::RunObserver& trace_;
    kt57::fuzz::CheckingObserver checks_;
    Totals& totals_;
};

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--commands" && hasValue) options.commands = std::strtol(argv[++i], nullptr, 10);
        else if (arg == "--seed" && hasValue) options.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--trace" && hasValue) options.traceFile = argv[++i];
        else if (arg == "--events-out" && hasValue) options.eventsOut = argv[++i];
        else if (arg == "--directory" && hasValue) options.directory = argv[++i];
        else if (arg == "--quiet") options.quiet = true;
        else return false;
    }
    return options.commands > 0;
}

void writeProgram(const std::string& directory) {
    if (!kt57::support::writeFile(directory + "/" + kt57::programFileName, soakProgram)) {
        std::perror("fault soak: writing the program");
        std::exit(2);
    }
}

// The trace's lines of each kind, as kt57-run writes them; times must never go back.
struct TraceCounts {
    long sends = 0;
    long failedSends = 0;
    long receives = 0;
    long closes = 0;
    long opens = 0;
    long failedOpens = 0;
    long errors[3] = {};
    bool ordered = true;
};

TraceCounts countTrace(std::FILE* trace) {
    TraceCounts counts;
    std::rewind(trace);
    char line[512];
    long long previous = 0;
    while (std::fgets(line, sizeof line, trace) != nullptr) {
        if (line[0] == ' ') continue;  // a screen row
        char* rest = nullptr;
        const long long at = std::strtoll(line, &rest, 10);
        if (at < previous) counts.ordered = false;
        previous = at;
        const std::string what = rest != nullptr ? rest : "";
        auto is = [&](const char* word) { return what.rfind(std::string(" ") + word, 0) == 0; };
        if (is("send-failed ")) ++counts.failedSends;
        else if (is("send ")) ++counts.sends;
        else if (is("recv ")) ++counts.receives;
        else if (is("close\n")) ++counts.closes;
        else if (is("open-failed\n")) ++counts.failedOpens;
        else if (is("open\n")) ++counts.opens;
        else if (is("error data")) ++counts.errors[0];
        else if (is("error loop")) ++counts.errors[1];
        else if (is("error device")) ++counts.errors[2];
    }
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: fault_soak [--commands N] [--seed S] [--trace FILE] [--events-out FILE] [--directory DIR] "
                     "[--quiet]\n");
        return 2;
    }
    std::optional<kt57::support::ScratchDirectory> scratch;
    if (options.directory.empty()) scratch.emplace("kt57-soak");
    const std::string directory = scratch ? scratch->path() : options.directory;
    writeProgram(directory);
    std::FILE* trace = options.traceFile.empty() ? std::tmpfile() : std::fopen(options.traceFile.c_str(), "w+");
    if (trace == nullptr) {
        std::perror("fault soak: trace file");
        return 2;
    }
    std::string eventsText;  // every event posted, in kt57-run's events-file format

    kt57::HeadlessRun run({directory, "VB000001"});
    Totals totals;
    kt57::TraceWriter writer(trace, run.clock());
    kt57::fuzz::CheckingDriver checking(run, tickCounts);
    CountingDriver counting(checking, totals);
    kt57::TracingDriver tracing(counting, writer);
    kt57::TracingObserver traceObserver(writer);
    SoakObserver observer(run, traceObserver, totals);
    run.useDriver(tracing);
    run.setObserver(&observer);
    if (run.start() != 1 || run.sequencer().program.lineCount == 0) breach(run, "start-up failed");

    // Posts events written as an events file, through kt57-run's parser.
    auto postText = [&](const std::string& lines) {
        std::vector<HeadlessEvent> events;
        std::string error;
        if (!kt57::parseEvents(lines, "soak-events", events, error)) breach(run, "events rejected: ", error.c_str());
        for (const HeadlessEvent& event : events) run.post(event);
        eventsText += lines;
    };
    auto at = [](int64_t ms) { return std::to_string(ms) + " "; };

    // Delivers everything due up to limit, checking each message; the operator restarts stops.
    auto runTo = [&](int64_t limit) {
        kt57::fuzz::runCheckedTo(run, tickCounts, limit, [&] {
            if (observer.restartPending) {
                observer.restartPending = false;
                postText(at(run.now() + operatorDelay) + "key G\n");
            }
        });
    };

    std::mt19937 random(options.seed);
    auto between = [&](int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random); };
    long faultCounts[faultKinds] = {};
    long expectedStops = 0;
    long episodes = 0;
    kt57::VirtualBoard& board = run.board();
    int64_t now = run.now();

    while (totals.writes < options.commands) {
        // A quiet spell: the board behaves, so nothing may stop the program (an earlier fault's
        // stop may still come at its start), and the input bits change now and then.
        const int64_t quietEnd = now + between(300, 1500);
        if (between(0, 2) == 0) postText(at(now + 1) + "input " + std::to_string(between(100000, 999999)) + "\n");
        runTo(quietEnd);
        if (observer.lastStop > now + stopAfterFault) breach(run, "a stop without a fault");
        now = quietEnd;

        const auto fault = static_cast<Fault>(between(0, faultKinds - 1));
        const bool longFault = between(0, 3) == 0;
        const int64_t length = fault == Fault::Garbage ? 0
                               : longFault ? between(fault == Fault::Unplug ? longUnplug : longMute, 3500)
                                           : between(10, 400);
        ++faultCounts[static_cast<int>(fault)];
        ++episodes;
        const long stopsBefore = totals.errors[0] + totals.errors[2];
        const long devicesBefore = totals.errors[2];
        const long opensBefore = totals.opens;

        switch (fault) {
            case Fault::Mute: postText(at(now) + "mute\n" + at(now + length) + "unmute\n"); break;
            case Fault::Unplug: postText(at(now) + "unplug\n" + at(now + length) + "plug\n"); break;
            case Fault::Garbage: {
                std::string bytes;
                const int64_t size = between(1, 24);
                for (int64_t i = 0; i < size; ++i) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(between(0, 255)));
                    bytes += escaped;
                }
                postText(at(now) + "inject " + bytes + "\n");
                break;
            }
            case Fault::WriteFails:
            case Fault::StatusFails:
            case Fault::ReadFails: {
                bool& which = fault == Fault::WriteFails    ? board.faults.writeFails
                              : fault == Fault::StatusFails ? board.faults.statusFails
                                                            : board.faults.readFails;
                runTo(now);
                which = true;
                runTo(now + length);
                which = false;
                break;
            }
            case Fault::Count: break;
        }
        runTo(now + length);
        const int64_t faultEnd = now + length;

        // The stop a long fault must bring, inside the fault itself.
        if (longFault && fault != Fault::Garbage) {
            ++expectedStops;
            if (totals.errors[0] + totals.errors[2] == stopsBefore) breach(run, "no stop during a long fault: ", faultNames[static_cast<int>(fault)]);
            if (fault == Fault::Unplug && totals.errors[2] == devicesBefore) breach(run, "no device connection error for a long unplug");
        }
        // Recovery: a whole valid reply again, and a board that was unplugged opened again.
        const long validBefore = totals.validReplies;
        int64_t waited = 0;
        while (totals.validReplies == validBefore && waited < recoveryWindow) {
            runTo(faultEnd + waited + 10);
            waited += 10;
        }
        if (totals.validReplies == validBefore) breach(run, "no recovery after ", faultNames[static_cast<int>(fault)]);
        if (fault == Fault::Unplug && totals.opens == opensBefore) breach(run, "the board was not opened again after an unplug");
        now = run.now();
    }
    std::fflush(trace);

    // The trace against what really happened.
    const TraceCounts lines = countTrace(trace);
    if (!lines.ordered) breach(run, "trace times go back");
    if (lines.sends + lines.failedSends != totals.writes) breach(run, "trace misses frames written");
    if (lines.receives != totals.reads) breach(run, "trace misses frames read");
    if (lines.closes != totals.closes) breach(run, "trace misses closes");
    if (lines.opens != totals.opens || lines.failedOpens != totals.openFailures) breach(run, "trace misses open attempts");
    for (int i = 0; i < 3; ++i) {
        if (lines.errors[i] != totals.errors[i]) breach(run, "trace misses error stops");
    }
    if (totals.errors[1] != 0) breach(run, "a loop error in a program without control loops");

    if (!options.eventsOut.empty()) {
        std::FILE* events = std::fopen(options.eventsOut.c_str(), "w");
        if (events == nullptr || std::fputs(eventsText.c_str(), events) < 0 || std::fclose(events) != 0) {
            std::perror("fault soak: --events-out");
            return 2;
        }
    }
    if (!options.quiet) {
        std::printf("fault soak: seed %u, %" PRId64 " ms virtual, %d ticks, %ld episodes\n", options.seed, run.now(),
                    run.ticksDelivered(), episodes);
        std::printf("  device commands %ld (%ld written, %ld write failures), replies read %ld, valid %ld\n", totals.writes,
                    lines.sends, lines.failedSends, totals.reads, totals.validReplies);
        std::printf("  faults:");
        for (int i = 0; i < faultKinds; ++i) std::printf(" %s %ld", faultNames[i], faultCounts[i]);
        std::printf("\n  stops: data %ld, device %ld, loop %ld (long faults %ld); opens %ld, failed opens %ld, closes %ld\n",
                    totals.errors[0], totals.errors[2], totals.errors[1], expectedStops, totals.opens, totals.openFailures,
                    totals.closes);
        std::printf("  every fault ended in its stop or recovered; invariants held; trace complete\n");
    }
    return 0;
}
