// A Value Change Dump (IEEE 1364 section 18) of 1-bit wires, written as things happen:
// the declarations and the values at time 0, then only the changes under increasing timestamps,
// and a last timestamp at the end so that viewers show the final state up to it (sigrok's last
// sample is the one before that timestamp).
//
// Only 1-bit wires: Debian 12's libsigrok (sigrok-cli, PulseView) misreads multi-bit vector
// changes, so a number is written as one wire per bit named "name[i]", which GTKWave still
// groups into one vector.
//
// No VCD events: GTKWave shows an event that has not fired yet as 1 in its value column, which
// reads as something that happened. A moment is a pulse instead: a wire at 0 that is 1 for one
// time unit.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kt57 {

class VcdWriter {
public:
    VcdWriter() = default;
    VcdWriter(const VcdWriter&) = delete;
    VcdWriter& operator=(const VcdWriter&) = delete;
    ~VcdWriter();

    // Before open(): declares a wire with its value at time 0; returns its number.
    int addWire(const std::string& name, bool initial = false);
    // count wires "name[0]" ... "name[count-1]", least significant first; returns the first one.
    int addBits(const std::string& name, int count, uint32_t initial = 0);

    // Creates the file, writes the declarations and the values at time 0. timescale: e.g. "1 ms".
    // False with error() set when the file cannot be created.
    bool open(const std::string& path, const char* timescale, const char* version);
    bool isOpen() const { return file_ != nullptr; }

    // A time before the last one written counts as the last one: the file never goes back.
    void set(int64_t time, int wire, bool value);
    void setBits(int64_t time, int firstWire, int count, uint32_t value);
    // Sets a wire that is otherwise 0 to 1 for one time unit from time; a pulse that comes while
    // the last one is still 1 lengthens it. Such a wire is only pulsed, never set().
    void pulse(int64_t time, int wire);
    bool value(int wire) const { return signals_[static_cast<size_t>(wire)].value; }

    // Hands what is buffered to the system; false once any write has failed.
    bool flush();
    // Writes the last timestamp, endTime (or just after the last change when that is not earlier),
    // and closes; false, with error() set, when anything written was lost.
    bool close(int64_t endTime);
    // Closes without the last timestamp, e.g. after a write error.
    void abandon();

    // The first failure: "cannot create: ..." or "cannot write: ...".
    const std::string& error() const { return error_; }

private:
    struct Signal {
        std::string name;
        std::string code;
        bool value;
        int64_t fallTime;  // when a pulse ends, -1 when none is under way; always after lastTime_
    };

    // Writes the pulses' ends due by time, then time's timestamp.
    void stamp(int64_t time);
    void endPulsesDueBy(int64_t time);
    void put(const char* text);
    void noteWriteError();

    std::vector<Signal> signals_;
    std::FILE* file_ = nullptr;
    int64_t lastTime_ = 0;
    int pulsesUnderWay_ = 0;
    bool failed_ = false;
    std::string error_;
};

}  // namespace kt57
