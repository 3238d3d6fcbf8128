#include "tests/support/waveform_reading.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kt57::test {

bool sigrokAvailable() { return std::system("sigrok-cli --version >/dev/null 2>&1") == 0; }

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int SigrokSamples::channel(const std::string& name) const {
    for (size_t i = 0; i < channels.size(); ++i) {
        if (channels[i] == name) return static_cast<int>(i);
    }
    return -1;
}

uint32_t SigrokSamples::bits(size_t row, const std::string& prefix, int count, bool brackets) const {
    uint32_t value = 0;
    for (int bit = 0; bit < count; ++bit) {
        const std::string name = brackets ? prefix + "[" + std::to_string(bit) + "]" : prefix + std::to_string(bit);
        const int column = channel(name);
        if (column >= 0 && rows[row][static_cast<size_t>(column)]) value |= uint32_t {1} << bit;
    }
    return value;
}

SigrokSamples readWithSigrok(const std::string& path, int downsample) {
    SigrokSamples samples;
    const std::string command = "sigrok-cli -I vcd:downsample=" + std::to_string(downsample) + " -i '" + path +
                                "' -O csv 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        samples.error = "cannot run sigrok-cli";
        return samples;
    }
    std::string output;
    char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
    const int status = pclose(pipe);
    std::istringstream lines(output);
    std::string line;
    const std::string channelsTag = "; Channels (";
    while (std::getline(lines, line)) {
        if (line.rfind(channelsTag, 0) == 0) {
            std::istringstream names(line.substr(line.find("): ") + 3));
            std::string name;
            while (std::getline(names, name, ',')) samples.channels.push_back(name.substr(name.find_first_not_of(' ')));
        } else if (line.rfind("META samplerate: ", 0) == 0) {
            samples.samplerate = std::atoll(line.c_str() + 17);
        } else if (!line.empty() && (line[0] == '0' || line[0] == '1')) {
            std::vector<bool> row;
            for (size_t i = 0; i < line.size(); i += 2) row.push_back(line[i] == '1');
            samples.rows.push_back(std::move(row));
        }
    }
    if (status != 0 || samples.channels.empty()) samples.error = "sigrok-cli failed: " + output.substr(0, 400);
    for (const std::vector<bool>& row : samples.rows) {
        if (row.size() != samples.channels.size()) samples.error = "a row with the wrong number of channels";
    }
    return samples;
}

VcdText parseVcd(const std::string& text) {
    VcdText vcd;
    std::map<std::string, std::string> names;  // code -> name
    std::istringstream words(text);
    std::string word;
    bool inDumpvars = false;
    auto fail = [&](const std::string& why) {
        if (vcd.error.empty()) vcd.error = why;
    };
    while (words >> word) {
        if (word == "$timescale") {
            std::string unit;
            while (words >> unit && unit != "$end") vcd.timescale += (vcd.timescale.empty() ? "" : " ") + unit;
        } else if (word == "$var") {
            std::string kind, width, code, name, end;
            words >> kind >> width >> code >> name >> end;
            if (width != "1" || end != "$end") fail("not a 1-bit declaration: " + name);
            if (code[0] == '#') fail("identifier code starting with #: " + name);
            if (names.count(code) != 0) fail("identifier code used twice: " + code);
            names[code] = name;
            vcd.kinds[name] = kind;
        } else if (word == "$dumpvars") {
            inDumpvars = true;
        } else if (word == "$end") {
            inDumpvars = false;
        } else if (word[0] == '$') {
            while (words >> word && word != "$end") {
            }
        } else if (word[0] == '#') {
            const long long time = std::atoll(word.c_str() + 1);
            if (time <= vcd.lastTime) fail("timestamp not increasing: " + word);
            vcd.lastTime = time;
        } else if (word[0] == '0' || word[0] == '1') {
            const auto found = names.find(word.substr(1));
            if (found == names.end()) {
                fail("change to an undeclared code: " + word);
                continue;
            }
            (inDumpvars ? vcd.initial : vcd.changes).push_back({vcd.lastTime, found->second, word[0]});
        } else {
            fail("unexpected word: " + word);
        }
    }
    return vcd;
}

}  // namespace kt57::test
