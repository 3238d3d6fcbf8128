// The eight driver calls over the kernel's tty driver: a real board through ftdi_sio, a virtual
// board through the pseudo-terminal kt57-board serves. No vendor driver, no root.
//
//  FT_ListDevices  real boards (by-id links) sorted by serial, then virtual boards (registry)
//                  sorted by serial; index 0 is what the sequencer opens when it knows no serial
//  FT_OpenEx       by serial number only; raw 8N1, speed left as the device has it, queues
//                  emptied, exclusive among kt57 processes (flock)
//  FT_SetChars     an enabled event character asks for low latency (ASYNC_LOW_LATENCY, or the
//                  ftdi_sio latency_timer), the nearest the tty driver has; nothing to do on a pty
//  FT_SetTimeouts  read and write time-outs in ms; 0 (the default) means no waiting at all
//  FT_GetStatus    bytes waiting from FIONREAD, bytes unsent from TIOCOUTQ
//  FT_Read/Write   on the descriptor, waiting at most the time-out; a short count is FT_OK
//  FT_Close        closes the descriptor
// A board that goes away while open hangs its tty up: every call then fails with FT_IO_ERROR.
#pragma once
#include <cstdint>

#include "device/ft_driver.h"
#include "platform/linux/board_listing.h"
#include "platform/linux/board_locations.h"

namespace kt57 {

class TtyDriver : public FtDriver {
public:
    static constexpr int maxOpenHandles = 8;

    TtyDriver();  // /dev/serial/by-id and the registry under $XDG_RUNTIME_DIR
    explicit TtyDriver(const BoardLocations& locations);
    ~TtyDriver() override;
    TtyDriver(const TtyDriver&) = delete;
    TtyDriver& operator=(const TtyDriver&) = delete;

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override;
    FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override;
    FT_STATUS FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled,
                          unsigned char errorChar, unsigned char errorCharEnabled) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;

    const BoardLocations& locations() const { return locations_; }

private:
    struct OpenBoard {
        int fd = -1;
        uint32_t generation = 0;  // part of the handle, so a closed handle never matches a reopened slot
        int readTimeoutMilliseconds = 0;
        int writeTimeoutMilliseconds = 0;
    };

    OpenBoard* find(FT_HANDLE handle);

    BoardLocations locations_;
    BoardListing listing_;  // scratch for listing and opening; a member to keep it off the stack
    OpenBoard open_[maxOpenHandles];
};

}  // namespace kt57
