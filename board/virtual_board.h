// The virtual board in-process, behind the eight calls: a thin part over its BoardSession. A handle
// is the session's link number.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/board_session.h"
#include "device/clock.h"
#include "device/ft_driver.h"

namespace kt57 {

class VirtualBoard : public FtDriver {
public:
    explicit VirtualBoard(Clock& clock);

    BoardSession session;
    // The session's state under the names its users have always had.
    BoardModel& model = session.model;
    BoardFaults& faults = session.faults;
    int& latencyMilliseconds = session.latencyMilliseconds;

    void unplug() { session.unplug(); }
    void plug() { session.plug(); }
    void inject(const unsigned char* bytes, size_t size) { session.inject(bytes, size); }
    size_t queuedBytes() { return session.queuedBytes(); }

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override;
    FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override;
    FT_STATUS FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled,
                          unsigned char errorChar, unsigned char errorCharEnabled) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;

    static constexpr size_t receiveCapacity = BoardSession::receiveCapacity;
    static constexpr int pendingCapacity = BoardSession::pendingCapacity;

private:
    // FT_OK for the live handle of a plugged board, after the session caught up.
    FT_STATUS handleStatus(FT_HANDLE handle);
};

}  // namespace kt57
