// Test helpers: a waveform read back by sigrok-cli, as viewers read it, and by a small reader of
// our own for what sigrok leaves out (events, the timestamps themselves).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kt57::test {

bool sigrokAvailable();

// sigrok-cli -I vcd[:downsample=N] -i path -O csv: one row of channel values per sample.
struct SigrokSamples {
    std::string error;  // empty when read
    long long samplerate = 0;
    std::vector<std::string> channels;
    std::vector<std::vector<bool>> rows;

    int channel(const std::string& name) const;  // -1 when absent
    // The wires prefix0, prefix1, ... (or prefix[0], ... with brackets) at a row, as a number.
    uint32_t bits(size_t row, const std::string& prefix, int count, bool brackets = false) const;
};
SigrokSamples readWithSigrok(const std::string& path, int downsample = 1);

// The file as written: declarations, every value change in order, and the timestamps.
struct VcdChange {
    long long time;
    std::string name;
    char value;  // '0' or '1'; '1' for an event
};
struct VcdText {
    std::string error;  // the first thing that breaks the format, or empty
    std::string timescale;
    std::map<std::string, std::string> kinds;  // name -> "wire" or "event"
    std::vector<VcdChange> initial;            // $dumpvars
    std::vector<VcdChange> changes;            // after it
    long long lastTime = -1;
};
VcdText parseVcd(const std::string& text);

std::string readText(const std::string& path);

}  // namespace kt57::test
