// Per-tick CPU times for the median and maximum a benchmark reports beside its mean, and the worst-case
// tick's measuring loop, which the headless and the Qt benchmark share.
#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

#include "engine/sequencer.h"

namespace kt57::bench {

// CPU time of the calling thread: time the tick spent working, not time it waited for the CPU
// while seven other builds ran on the same two cores.
inline int64_t threadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

class TickSamples {
public:
    explicit TickSamples(size_t capacity) { nanoseconds_.reserve(capacity); }
    void add(int64_t nanoseconds) { nanoseconds_.push_back(nanoseconds); }

    // Sets median_ms and max_ms on the benchmark's state.
    void report(benchmark::State& state) {
        if (nanoseconds_.empty()) return;
        std::sort(nanoseconds_.begin(), nanoseconds_.end());
        const double median = static_cast<double>(nanoseconds_[nanoseconds_.size() / 2]) / 1e6;
        const double maximum = static_cast<double>(nanoseconds_.back()) / 1e6;
        state.counters["median_ms"] = benchmark::Counter(median);
        state.counters["max_ms"] = benchmark::Counter(maximum);
        state.counters["ticks"] = benchmark::Counter(static_cast<double>(nanoseconds_.size()));
    }

private:
    std::vector<int64_t> nanoseconds_;
};

// Times deliverTick alone in each iteration, after an untimed deliverKey (the C that resumes the
// loop, a message of its own). Every tick must end in the loop error, or the burst was not the worst case.
template <class DeliverKey, class DeliverTick>
void measureWorstCaseTicks(benchmark::State& state, const Sequencer& s, DeliverKey deliverKey, DeliverTick deliverTick) {
    TickSamples samples(static_cast<size_t>(state.max_iterations));
    int loopErrors = 0;
    for (auto _ : state) {
        deliverKey();
        const int64_t before = threadCpuNanoseconds();
        deliverTick();
        const int64_t spent = threadCpuNanoseconds() - before;
        state.SetIterationTime(static_cast<double>(spent) / 1e9);
        samples.add(spent);
        loopErrors += stopped(s.run, s.program.lineCount) ? 1 : 0;
    }
    if (loopErrors != state.iterations()) {
        state.SkipWithError("a tick did not end in the loop error: the burst was not the worst case");
        return;
    }
    samples.report(state);
}

}  // namespace kt57::bench
