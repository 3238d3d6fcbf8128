// Fills a TimelineRecord while a rehearsal is built: hears the run's observer calls and the
// board's events, and samples the running line and the run state after each delivered message.
#pragma once
#include <cstdint>

#include "board/board_event.h"
#include "engine/run_observer.h"
#include "platform/headless/headless_run.h"
#include "timeline/timeline_record.h"

namespace kt57 {

class TimelineRecorder : public RunObserver, public BoardEventSink {
public:
    TimelineRecorder(HeadlessRun& run, TimelineRecord& record);

    // After start-up: the signals' first values.
    void started();
    // Around each message: due is when it fell due; position is the count of messages delivered
    // once it is.
    void beginDelivery(int64_t due);
    void endDelivery();

    void errorStopped(ErrorStop stop, int32_t line) override;
    void lineExecuted(LineOutcome outcome) override;
    void replyApplied(const MachineState& before, const MachineState& after, const unsigned char* frame) override;
    void boardEvent(const BoardEvent& event) override;

private:
    void setBits(uint32_t bits, const RegisterWrite& write);
    uint32_t commitWrite(int bit);
    void pushPinChange(int number, int64_t at, uint32_t level, uint32_t cause);
    void outputsChanged(int64_t at, uint32_t outputs);
    void inputsChanged(int64_t at, uint32_t inputs);
    void sample(std::vector<SignalChange>& changes, int32_t value);

    HeadlessRun& run_;
    TimelineRecord& record_;
    uint32_t position_ = 0;  // the changes seen now show from this position on
    int linesThisDelivery_ = 0;
    size_t eventsBefore_ = 0;
    uint32_t outputs_ = 0;
    uint32_t inputs_ = 0;
    // The write that last decided each bit of the output register: a slot of a pool that always has
    // one free, since no more than 24 writes are referred to at once; and where it was kept, if it was.
    static constexpr int noSlot = -1;
    static constexpr int slotCount = pinCount + 1;
    RegisterWrite slots_[slotCount];
    int references_[slotCount] = {};
    int64_t kept_[slotCount] = {};  // its index in the record's writes, -1 until kept
    int bitSlot_[pinCount];
    // The last frame the program sent, for the replies and outputs it brings.
    unsigned char lastCommand_[frameLength] = {};
    int32_t lastCommandLine_ = -1;
    int64_t lastCommandAt_ = 0;
    bool lastCommandFromRegister_ = false;  // its line had '@' in place of the value
};

}  // namespace kt57
