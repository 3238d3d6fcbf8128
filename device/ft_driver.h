// The eight D2XX calls the link needs, as one interface. FTD2XX.dll, the Linux tty driver and the
// virtual board each implement it; the link reaches a board through nothing else.
#pragma once
#include <cstdint>

namespace kt57 {

using FT_STATUS = uint32_t;
using FT_HANDLE = void*;

constexpr FT_STATUS FT_OK = 0;
constexpr FT_STATUS FT_INVALID_HANDLE = 1;
constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
constexpr FT_STATUS FT_IO_ERROR = 4;
constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
constexpr FT_STATUS FT_OTHER_ERROR = 18;

constexpr uint32_t FT_LIST_NUMBER_ONLY = 0x80000000u;
constexpr uint32_t FT_LIST_BY_INDEX = 0x40000000u;
constexpr uint32_t FT_OPEN_BY_SERIAL_NUMBER = 1;

// A driver writes at most this many bytes, NUL included, for a serial number it lists.
constexpr int listedSerialCapacity = 64;

class FtDriver {
public:
    virtual ~FtDriver() = default;
    // FT_LIST_NUMBER_ONLY: arg1 is a uint32_t* count. FT_LIST_BY_INDEX|FT_OPEN_BY_SERIAL_NUMBER: arg1 is
    // the index as a value, arg2 a buffer of listedSerialCapacity bytes for the NUL-terminated serial.
    virtual FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) = 0;
    // FT_OPEN_BY_SERIAL_NUMBER: arg is the NUL-terminated serial number.
    virtual FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) = 0;
    virtual FT_STATUS FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled,
                                  unsigned char errorChar, unsigned char errorCharEnabled) = 0;
    virtual FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) = 0;
    virtual FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) = 0;
    virtual FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) = 0;
    virtual FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) = 0;
    virtual FT_STATUS FT_Close(FT_HANDLE handle) = 0;
};

// For a shell without a driver: lists no board, and every call on a handle fails.
FtDriver& noDriver();

}  // namespace kt57
