#include "tools/common/vcd_writer.h"

#include <cerrno>
#include <cstring>

namespace kt57 {

namespace {

// Printable identifier codes without '#', which readers take for a timestamp, nor '$' and '\',
// which some take for a keyword or an escape.
std::string identifierCode(size_t index) {
    static constexpr char alphabet[] =
        "!\"%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{|}~";
    constexpr size_t base = sizeof alphabet - 1;
    std::string code;
    do {
        code += alphabet[index % base];
        index /= base;
    } while (index > 0);
    return code;
}

}  // namespace

VcdWriter::~VcdWriter() { abandon(); }

int VcdWriter::addWire(const std::string& name, bool initial) {
    signals_.push_back({name, identifierCode(signals_.size()), initial, -1});
    return static_cast<int>(signals_.size() - 1);
}

int VcdWriter::addBits(const std::string& name, int count, uint32_t initial) {
    const int first = static_cast<int>(signals_.size());
    for (int bit = 0; bit < count; ++bit) addWire(name + "[" + std::to_string(bit) + "]", (initial >> bit & 1u) != 0);
    return first;
}

bool VcdWriter::open(const std::string& path, const char* timescale, const char* version) {
    file_ = std::fopen(path.c_str(), "w");
    if (file_ == nullptr) {
        error_ = std::string("cannot create: ") + std::strerror(errno);
        return false;
    }
    std::string header = std::string("$version ") + version + " $end\n$timescale " + timescale +
                         " $end\n$scope module kt57 $end\n";
    for (const Signal& signal : signals_) {
        header += "$var wire 1 " + signal.code + " " + signal.name + " $end\n";
    }
    header += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    for (const Signal& signal : signals_) header += (signal.value ? "1" : "0") + signal.code + "\n";
    header += "$end\n";
    put(header.c_str());
    lastTime_ = 0;
    return true;
}

void VcdWriter::stamp(int64_t time) {
    if (time <= lastTime_) return;
    endPulsesDueBy(time);
    if (time <= lastTime_) return;
    lastTime_ = time;
    char line[32];
    std::snprintf(line, sizeof line, "#%lld\n", static_cast<long long>(time));
    put(line);
}

// The earliest end first, each under its own timestamp, so that the file never goes back.
void VcdWriter::endPulsesDueBy(int64_t time) {
    while (pulsesUnderWay_ > 0) {
        Signal* first = nullptr;
        for (Signal& signal : signals_) {
            if (signal.fallTime >= 0 && (first == nullptr || signal.fallTime < first->fallTime)) first = &signal;
        }
        if (first == nullptr || first->fallTime > time) return;
        const int64_t fallTime = first->fallTime;
        lastTime_ = fallTime;
        char line[32];
        std::snprintf(line, sizeof line, "#%lld\n", static_cast<long long>(fallTime));
        put(line);
        for (Signal& signal : signals_) {
            if (signal.fallTime != fallTime) continue;
            signal.fallTime = -1;
            signal.value = false;
            --pulsesUnderWay_;
            put(("0" + signal.code + "\n").c_str());
        }
    }
}

void VcdWriter::put(const char* text) {
    if (file_ == nullptr || failed_) return;
    if (std::fputs(text, file_) < 0) noteWriteError();
}

void VcdWriter::noteWriteError() {
    if (failed_) return;
    failed_ = true;
    error_ = std::string("cannot write: ") + std::strerror(errno);
}

void VcdWriter::set(int64_t time, int wire, bool value) {
    Signal& signal = signals_[static_cast<size_t>(wire)];
    if (signal.value == value) return;
    signal.value = value;
    stamp(time);
    put(((value ? "1" : "0") + signal.code + "\n").c_str());
}

void VcdWriter::setBits(int64_t time, int firstWire, int count, uint32_t value) {
    for (int bit = 0; bit < count; ++bit) set(time, firstWire + bit, (value >> bit & 1u) != 0);
}

void VcdWriter::pulse(int64_t time, int wire) {
    Signal& signal = signals_[static_cast<size_t>(wire)];
    const int64_t start = time > lastTime_ ? time : lastTime_;
    if (signal.fallTime >= start) {  // still 1 then: falling and rising at one timestamp would hide it
        signal.fallTime = start + 1;
        return;
    }
    stamp(start);
    signal.value = true;
    signal.fallTime = start + 1;
    ++pulsesUnderWay_;
    put(("1" + signal.code + "\n").c_str());
}

bool VcdWriter::flush() {
    if (file_ == nullptr || failed_) return !failed_;
    if (std::fflush(file_) != 0) noteWriteError();
    return !failed_;
}

bool VcdWriter::close(int64_t endTime) {
    if (file_ == nullptr) return !failed_;
    // Readers end at the last timestamp and show nothing at it, so it must come after the last
    // change for that change to be seen.
    int64_t end = endTime > lastTime_ ? endTime : lastTime_ + 1;
    for (const Signal& signal : signals_) end = signal.fallTime > end ? signal.fallTime : end;
    stamp(end);
    flush();
    if (std::fclose(file_) != 0) noteWriteError();
    file_ = nullptr;
    return !failed_;
}

void VcdWriter::abandon() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace kt57
