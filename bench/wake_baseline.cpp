// The machine's own timer wake-up, for reading the real-time figures: 1000 periods of 10 ms,
// each doing 0.1 ms of work and then sleeping 10 ms, as kt57d's ticks do. Prints one JSON object
// with the overshoot of the sleeps (p50, p99 in ms) and the share of sleeps late by 1 ms or more.
// On a machine whose cores other processes keep busy, that share is what no program can avoid.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

int main() {
    using Clock = std::chrono::steady_clock;
    constexpr int periods = 1000;
    std::vector<double> overshoot;
    overshoot.reserve(periods);
    for (int period = 0; period < periods; ++period) {
        const auto workStart = Clock::now();
        while (Clock::now() - workStart < std::chrono::microseconds(100)) {
        }
        const auto sleepStart = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        overshoot.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sleepStart).count() - 10.0);
    }
    std::sort(overshoot.begin(), overshoot.end());
    const auto late = std::count_if(overshoot.begin(), overshoot.end(), [](double ms) { return ms >= 1.0; });
    std::printf("{\"wake_overshoot_p50_ms\": %.3f, \"wake_overshoot_p99_ms\": %.3f, \"wake_late_1ms_share\": %.3f}\n",
                overshoot[periods / 2], overshoot[periods * 99 / 100], static_cast<double>(late) / periods);
    return 0;
}
