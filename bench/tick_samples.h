// Per-tick CPU times for the median and maximum a benchmark reports beside its mean.
#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

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

}  // namespace kt57::bench
