// The timeline's figures over an hour of rehearsal: the example with its events, and the heaviest
// program that keeps running. For each: the build against a plain rehearsal, the memory it holds,
// and the time of a seek to a random moment, of one step back and of a "why" (p99 over many). For
// the example also 100,000 random seeks and steps, each compared whole with the straight run.
//
//   kt57_timeline_bench --demo DIR --events FILE --out FILE.json [--checks N]
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_programs.h"
#include "fuzz/timeline_checks.h"
#include "timeline/pin_why.h"
#include "timeline/timeline.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/run_trace.h"

namespace {

using Clock = std::chrono::steady_clock;
int64_t hour = 3600 * 1000;  // --until shortens it, for trying things out

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
    return values[index];
}

// Small blocks in the arena and large ones mapped on their own: what the process holds.
size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// FNV-1a over every field of a snapshot: comparing 100,000 whole states by value would need them all kept.
class Hash {
public:
    template <typename T>
    void add(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        bytes(&value, sizeof value);
    }
    void bytes(const void* data, size_t size) {
        const auto* byte = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) value_ = (value_ ^ byte[i]) * 1099511628211ull;
    }
    uint64_t value() const { return value_; }

private:
    uint64_t value_ = 1469598103934665603ull;
};

uint64_t hashOf(const kt57::HeadlessSnapshot& s) {
    Hash h;
    const kt57::MachineState& m = s.machine;
    for (int32_t v : {m.inputRegister, m.outputRegister, m.polarityMask, m.conditionFlag, m.flagRegister, m.loopCounter}) h.add(v);
    const kt57::RunControl& r = s.run;
    for (char v : {static_cast<char>(r.runMode), static_cast<char>(r.resumeMode), static_cast<char>(r.savedMode)}) h.add(v);
    for (int32_t v : {static_cast<int32_t>(r.stepPhase), r.nextLine, r.currentLine, r.continueLine, r.breakLine, r.replyWait,
                      r.sleepTicks, r.refreshTick, r.burstCount, r.releaseCount, r.connectFailures}) {
        h.add(v);
    }
    h.add(s.link.handle);
    h.add(s.link.linkState);
    h.bytes(s.link.serialNumber, sizeof s.link.serialNumber);
    h.add(s.console.context.open);
    h.add(s.console.context.colourIndex);
    h.add(s.console.detailView);
    h.add(s.console.listingDirty);
    h.bytes(s.shell.windowTitle, sizeof s.shell.windowTitle);
    h.add(s.shell.savedDetail);
    h.add(s.now);
    h.add(s.timer.armed);
    h.add(s.timer.interval);
    h.add(s.timer.due);
    h.add(s.timer.generation);
    const kt57::BoardSession::State& b = s.board;
    h.add(b.model.outputs);
    h.add(b.model.inputs);
    h.bytes(b.model.serialNumber, sizeof b.model.serialNumber);
    h.add(b.model.muted);
    for (bool v : {b.faults.unplugged, b.faults.openFails, b.faults.writeFails, b.faults.statusFails, b.faults.readFails}) h.add(v);
    h.add(b.latencyMilliseconds);
    h.add(b.traffic.liveLink);
    h.add(b.traffic.lastLink);
    h.add(b.traffic.unplugApplied);
    h.bytes(b.traffic.receive, sizeof b.traffic.receive);
    h.add(b.traffic.receiveHead);
    h.add(b.traffic.receiveSize);
    for (const auto& p : b.traffic.pending) {
        h.add(p.used);
        h.add(p.dueMilliseconds);
        h.add(p.order);
        h.bytes(p.bytes, sizeof p.bytes);
    }
    h.add(b.traffic.nextOrder);
    h.bytes(b.traffic.command, sizeof b.traffic.command);
    h.add(b.traffic.commandSize);
    const kt57::TextCanvas::Snapshot& c = s.canvas;
    h.bytes(c.bandY.data(), c.bandY.size() * sizeof(int));
    h.bytes(c.bandExtent.data(), c.bandExtent.size() * sizeof(int));
    h.bytes(c.cells.data(), c.cells.size() * sizeof(uint32_t));
    for (int v : {c.width, c.height, c.resizeCount, c.colour}) h.add(v);
    h.add(c.open);
    h.add(c.drawCount);
    h.add(c.overflowed);
    h.bytes(s.window.title.data(), s.window.title.size());
    for (bool v : {s.window.created, s.window.destroyed, s.window.quitPosted}) h.add(v);
    h.add(s.window.exitCode);
    h.add(s.controlHeld);
    h.add(s.shiftHeld);
    h.add(s.eventsDelivered);
    h.add(s.ticks);
    return h.value();
}

struct Figures {
    double plainMs = 0;
    double tracedMs = 0;
    double buildMs = 0;
    size_t heapBytes = 0;
    size_t countedBytes = 0;
    size_t checkpoints = 0;
    uint32_t messages = 0;
    double seekP99 = 0, seekP50 = 0, stepBackP99 = 0, walkBackP99 = 0, whyP99 = 0;
};

// The straight rehearsal to the end with nothing recorded; traced, it is kt57-run's plain run, its
// trace written to /dev/null.
double plainRehearsal(const kt57::RehearsalInputs& inputs, const std::string& folder, bool traced) {
    std::string error;
    kt57::writeRehearsalFolder(inputs, folder, error);
    std::FILE* sink = std::fopen("/dev/null", "w");
    const auto start = Clock::now();
    kt57::HeadlessRun run({folder, inputs.boardSerial});
    kt57::TraceWriter trace(sink, run.clock());
    kt57::TracingDriver driver(run.board(), trace);
    kt57::TracingSurface surface(run.canvas(), trace);
    kt57::TracingObserver observer(trace);
    if (traced) {
        run.useDriver(driver);
        run.useSurface(surface);
        run.setObserver(&observer);
    }
    kt57::fuzz::startStraight(run, inputs);
    bool ended = kt57::fuzz::rehearsalOver(run);
    while (!ended && run.step(inputs.until)) ended = kt57::fuzz::rehearsalOver(run);
    const double wall = millisecondsSince(start);
    std::fclose(sink);
    return wall;
}

Figures measure(const char* name, const kt57::RehearsalInputs& inputs, const std::string& folder, int samples) {
    Figures f;
    // Three of each, or one when a run takes long.
    std::vector<double> plains, traced;
    for (int i = 0; i < 3 && (i == 0 || plains.back() < 10000); ++i) {
        plains.push_back(plainRehearsal(inputs, folder, false));
        traced.push_back(plainRehearsal(inputs, folder, true));
    }
    f.plainMs = percentile(plains, 0.5);
    f.tracedMs = percentile(traced, 0.5);

    malloc_trim(0);
    const size_t heapBefore = heapInUse();
    const auto start = Clock::now();
    kt57::Timeline timeline;
    std::string error;
    if (!timeline.build(inputs, error)) {
        std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        std::exit(1);
    }
    f.buildMs = millisecondsSince(start);
    f.heapBytes = heapInUse() - heapBefore;
    f.countedBytes = timeline.memoryBytes();
    f.checkpoints = timeline.checkpointCount();
    f.messages = timeline.messageCount();

    std::mt19937_64 random(57);
    std::uniform_int_distribution<int64_t> moment(0, inputs.until);
    std::vector<double> seeks, backs, whys, seekMessages, backMessages;
    for (int i = 0; i < samples; ++i) {
        const int64_t t = moment(random);
        uint64_t replayed = timeline.messagesReplayed();
        auto at = Clock::now();
        timeline.seek(t);
        seeks.push_back(millisecondsSince(at));
        seekMessages.push_back(static_cast<double>(timeline.messagesReplayed() - replayed));
        replayed = timeline.messagesReplayed();
        at = Clock::now();
        timeline.stepMessage(-1);
        backs.push_back(millisecondsSince(at));
        backMessages.push_back(static_cast<double>(timeline.messagesReplayed() - replayed));
        const kt57::PinName pin{random() % 2 ? kt57::PinSide::Output : kt57::PinSide::Input, static_cast<int>(random() % 24)};
        at = Clock::now();
        const kt57::PinWhy why = kt57::explainPin(timeline, pin, moment(random));
        whys.push_back(millisecondsSince(at));
        if (why.level > 1) std::abort();  // keeps the call
    }
    // Steps back in a row, as someone walks back from a moment: each crossing into an earlier
    // checkpoint's span replays it once.
    std::vector<double> walk;
    for (int i = 0; i < samples / 100 + 1; ++i) {
        timeline.seek(moment(random));
        for (int step = 0; step < 100; ++step) {
            const auto at = Clock::now();
            timeline.stepMessage(-1);
            walk.push_back(millisecondsSince(at));
        }
    }
    f.walkBackP99 = percentile(walk, 0.99);
    f.seekP50 = percentile(seeks, 0.5);
    f.seekP99 = percentile(seeks, 0.99);
    f.stepBackP99 = percentile(backs, 0.99);
    if (std::getenv("KT57_BENCH_VERBOSE") != nullptr) {
        std::fprintf(stderr, "step back p50 %.3f p90 %.3f p95 %.3f ms; messages replayed: seek p99 %.0f max %.0f, step back p99 %.0f max %.0f\n",
                     percentile(backs, 0.5), percentile(backs, 0.9), percentile(backs, 0.95), percentile(seekMessages, 0.99),
                     percentile(seekMessages, 1.0), percentile(backMessages, 0.99), percentile(backMessages, 1.0));
    }
    f.whyP99 = percentile(whys, 0.99);
    std::fprintf(stderr,
                 "%s: %u messages; plain %.0f ms, kt57-run %.0f ms, build %.0f ms (x%.2f, x%.2f); heap %.1f MiB (counted %.1f MiB, %zu "
                 "checkpoints); seek p50 %.3f p99 %.3f ms; step back p99 %.3f ms (in a row %.3f); why p99 %.4f ms\n",
                 name, f.messages, f.plainMs, f.tracedMs, f.buildMs, f.buildMs / f.plainMs, f.buildMs / f.tracedMs, static_cast<double>(f.heapBytes) / 1048576.0,
                 static_cast<double>(f.countedBytes) / 1048576.0, f.checkpoints, f.seekP50, f.seekP99, f.stepBackP99,
                 f.walkBackP99, f.whyP99);
    return f;
}

// Random seeks and steps, each state hashed, against the straight run's states at the same moments.
int64_t checkAgainstStraight(const kt57::RehearsalInputs& inputs, const std::string& folder, int operations) {
    kt57::Timeline timeline;
    std::string error;
    timeline.build(inputs, error);
    std::mt19937_64 random(5757);
    std::uniform_int_distribution<int64_t> moment(0, inputs.until);
    std::map<int64_t, std::vector<uint64_t>> byTime;       // seek(t): the hashes seen
    std::map<uint32_t, std::vector<uint64_t>> byPosition;  // steps: the hashes seen
    kt57::HeadlessSnapshot seen;
    for (int i = 0; i < operations; ++i) {
        const int kind = static_cast<int>(random() % 5);
        if (kind == 0) {
            const int64_t t = moment(random);
            timeline.seek(t).save(seen);
            byTime[t].push_back(hashOf(seen));
            continue;
        }
        kt57::HeadlessRun& run = kind == 1 ? timeline.stepMessage(-1)
                                 : kind == 2 ? timeline.stepMessage(+1)
                                 : kind == 3 ? timeline.stepLine(-1)
                                             : timeline.stepLine(+1);
        run.save(seen);
        byPosition[timeline.position()].push_back(hashOf(seen));
    }
    int64_t differences = 0;
    std::vector<int64_t> times;
    for (const auto& [t, hashes] : byTime) times.push_back(t);
    const auto atTimes = kt57::fuzz::straightAtTimes(inputs, folder, times);
    for (const auto& [t, hashes] : byTime) {
        for (uint64_t hash : hashes) differences += hash != hashOf(atTimes.at(t));
    }
    std::vector<uint32_t> positions;
    for (const auto& [p, hashes] : byPosition) positions.push_back(p);
    const auto atPositions = kt57::fuzz::straightAtPositions(inputs, folder, positions);
    for (const auto& [p, hashes] : byPosition) {
        for (uint64_t hash : hashes) differences += hash != hashOf(atPositions.at(p));
    }
    return differences;
}

}  // namespace

int main(int argc, char** argv) {
    std::string demo, eventsPath, out;
    int checks = 100000;
    int samples = 2000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--demo") demo = argv[i + 1];
        else if (option == "--events") eventsPath = argv[i + 1];
        else if (option == "--out") out = argv[i + 1];
        else if (option == "--checks") checks = std::atoi(argv[i + 1]);
        else if (option == "--samples") samples = std::atoi(argv[i + 1]);
        else if (option == "--until") hour = std::atoll(argv[i + 1]);
    }
    if (demo.empty() || eventsPath.empty() || out.empty()) {
        std::fprintf(stderr, "usage: kt57_timeline_bench --demo DIR --events FILE --out FILE.json [--checks N] [--samples N]\n");
        return 2;
    }
    const std::string folder = (std::filesystem::temp_directory_path() / "kt57-timeline-bench").string();
    std::filesystem::create_directories(folder);

    // The example: its minute of events, sixty times over.
    kt57::RehearsalInputs example;
    example.program = kt57::RehearsalFile::of(slurp(demo + "/KT57Data.txt"));
    std::vector<kt57::HeadlessEvent> minute;
    std::string error;
    if (!kt57::parseEvents(slurp(eventsPath), eventsPath, minute, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (int64_t offset = 0; offset < hour; offset += 60000) {
        for (kt57::HeadlessEvent event : minute) {
            event.at += offset;
            if (event.at <= hour) example.events.push_back(event);
        }
    }
    example.until = hour;

    kt57::RehearsalInputs heaviest;
    heaviest.program = kt57::RehearsalFile::of(kt57::bench::heaviestRunningProgram());
    heaviest.mode = kt57::RehearsalFile::of("AD\nVB000001\n");
    heaviest.until = hour;

    const Figures e = measure("example", example, folder, samples);
    const Figures h = std::getenv("KT57_BENCH_EXAMPLE_ONLY") != nullptr ? Figures{} : measure("heaviest", heaviest, folder, samples);
    const auto start = Clock::now();
    const int64_t differences = checkAgainstStraight(example, folder, checks);
    std::fprintf(stderr, "%d random seeks and steps: %" PRId64 " differ from the straight run (%.1f s)\n", checks,
                 differences, millisecondsSince(start) / 1000.0);
    std::filesystem::remove_all(folder);

    std::FILE* file = std::fopen(out.c_str(), "w");
    if (file == nullptr) return 1;
    auto write = [file](const char* name, const Figures& f, bool last) {
        std::fprintf(file,
                      " \"%s\": {\"messages\": %u, \"plain_ms\": %.1f, \"traced_ms\": %.1f, \"build_ms\": %.1f, \"heap_bytes\": %zu, "
                     "\"counted_bytes\": %zu, \"checkpoints\": %zu, \"seek_p50_ms\": %.4f, \"seek_p99_ms\": %.4f, "
                     "\"step_back_p99_ms\": %.4f, \"walk_back_p99_ms\": %.4f, \"why_p99_ms\": %.5f}%s\n",
                     name, f.messages, f.plainMs, f.tracedMs, f.buildMs, f.heapBytes, f.countedBytes, f.checkpoints, f.seekP50,
                     f.seekP99, f.stepBackP99, f.walkBackP99, f.whyP99, last ? "" : ",");
    };
    std::fprintf(file, "{\n");
    write("example", e, false);
    write("heaviest", h, false);
    std::fprintf(file, " \"checks\": %d, \"differences\": %" PRId64 "\n}\n", checks, differences);
    std::fclose(file);
    return 0;
}
