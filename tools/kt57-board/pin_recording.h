// kt57-board --vcd: the board's pins as a waveform in microseconds from the board's start. It
// flushes at least once a second, so a board killed outright loses at most the last second; a
// shutdown signal ends the face's loop and the file is closed whole from there.
#pragma once
#include <cstdint>
#include <string>

#include "board/board_session.h"
#include "tools/common/board_waves.h"
#include "tools/common/vcd_writer.h"

namespace kt57 {

class PinRecording : public BoardEventSink {
public:
    static constexpr int flushIntervalMilliseconds = 1000;

    PinRecording(const BoardModel& model, int64_t startMicroseconds);

    // Creates the file; false with one line in error.
    bool open(const char* path, std::string& error);
    // Puts the recording in front of the sink the face installed, which still gets every event.
    void join(BoardSession& session);
    void boardEvent(const BoardEvent& event) override;

    // For the faces' loops: how long until the next flush is due, -1 when nothing waits.
    int millisecondsUntilFlush() const;
    // Flushes what waits, or only when due. After a write error it says so once on standard error
    // and stops recording; the board goes on serving.
    void flush();
    void flushIfDue();
    // The last timestamp now, then closes; false (said on standard error) when anything was lost.
    bool close();

private:
    int64_t elapsedMicroseconds() const;
    void reportFailure();

    VcdWriter vcd_;
    BoardWaves pins_;
    int64_t start_;
    std::string path_;
    BoardEventSink* next_ = nullptr;
    bool unflushed_ = false;
    int64_t lastFlush_ = 0;  // microseconds from the start
    bool failureReported_ = false;
};

// The shorter of two poll time-outs, where -1 means none.
int earlierTimeout(int a, int b);

}  // namespace kt57
