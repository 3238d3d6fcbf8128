// The virtual board as an in-process device behind the eight calls, with switchable faults.
// Replies are built when a command is written and enter the receive queue latency ms later.
#pragma once
#include <cstddef>
#include <cstdint>

#include "device/board_model.h"
#include "device/clock.h"
#include "device/ft_driver.h"

namespace kt57 {

struct BoardFaults {
    bool unplugged = false;   // not listed, opens fail, calls on an open handle fail
    bool openFails = false;   // listed, but FT_OpenEx fails
    bool writeFails = false;
    bool statusFails = false;
    bool readFails = false;
};

class VirtualBoard : public FtDriver {
public:
    explicit VirtualBoard(Clock& clock);

    BoardModel model;
    BoardFaults faults;
    int latencyMilliseconds = 1;

    void unplug();  // drops everything queued; handles open now stay dead
    void plug();
    // Pushes raw bytes into the open handle's receive queue; dropped when no live handle is open.
    void inject(const unsigned char* bytes, size_t size);
    size_t queuedBytes();  // bytes in the receive queue now, after due replies entered it

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override;
    FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override;
    FT_STATUS FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled,
                          unsigned char errorChar, unsigned char errorCharEnabled) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;

    static constexpr size_t receiveCapacity = 512;  // bytes beyond it are lost, as in a full device FIFO
    static constexpr int pendingCapacity = 16;       // replies on their way; a reply beyond it is lost

private:
    struct PendingReply {
        bool used = false;
        int64_t dueMilliseconds = 0;
        uint64_t order = 0;  // keeps replies due at the same moment in the order they were written
        unsigned char bytes[9] = {};
    };

    // Applies what the switches and the clock say before any call acts.
    void catchUp();
    void dropHandleState();  // empties the receive queue, the pending replies and the partial command
    bool isLive(FT_HANDLE handle) const;
    FT_STATUS handleStatus(FT_HANDLE handle) const;  // FT_OK for the live handle of a plugged board
    void pushReceived(const unsigned char* bytes, size_t size);
    void takeWrittenByte(unsigned char byte);

    // Fixed-size state only: the running core allocates nothing.
    Clock& clock_;
    uintptr_t liveHandle_ = 0;  // 0 when no handle is open on the board as it is now
    uintptr_t lastHandle_ = 0;  // handles are never reused, so a dead one cannot come back to life
    bool unplugApplied_ = false;
    unsigned char receive_[receiveCapacity] = {};
    size_t receiveHead_ = 0;
    size_t receiveSize_ = 0;
    PendingReply pending_[pendingCapacity];
    uint64_t nextOrder_ = 0;
    unsigned char command_[9] = {};
    size_t commandSize_ = 0;
};

}  // namespace kt57
