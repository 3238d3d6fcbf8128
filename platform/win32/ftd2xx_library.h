// FTD2XX.dll, loaded at run time, as the link's driver. The vendor's header and import library are
// not needed: the eight entry points are declared here from the public D2XX API.
#pragma once
#include <windows.h>

#include "device/ft_driver.h"

namespace kt57 {

class Ftd2xxLibrary : public FtDriver {
public:
    Ftd2xxLibrary() = default;
    Ftd2xxLibrary(const Ftd2xxLibrary&) = delete;
    Ftd2xxLibrary& operator=(const Ftd2xxLibrary&) = delete;
    ~Ftd2xxLibrary() override;

    // LoadLibraryA and the eight GetProcAddress look-ups. A missing library or a missing entry
    // point leaves nothing loaded: every call then fails as if no board were attached.
    bool load(const char* libraryName = "FTD2XX.dll");
    void unload();
    bool loaded() const { return module_ != nullptr; }

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override;
    FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override;
    FT_STATUS FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled,
                          unsigned char errorChar, unsigned char errorCharEnabled) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;

    // The D2XX signatures: FT_STATUS is a ULONG, the counts are DWORDs, everything WINAPI.
    using ListDevicesFunction = ULONG(WINAPI*)(PVOID, PVOID, DWORD);
    using OpenExFunction = ULONG(WINAPI*)(PVOID, DWORD, PVOID*);
    using SetCharsFunction = ULONG(WINAPI*)(PVOID, UCHAR, UCHAR, UCHAR, UCHAR);
    using SetTimeoutsFunction = ULONG(WINAPI*)(PVOID, ULONG, ULONG);
    using GetStatusFunction = ULONG(WINAPI*)(PVOID, DWORD*, DWORD*, DWORD*);
    using ReadFunction = ULONG(WINAPI*)(PVOID, LPVOID, DWORD, LPDWORD);
    using WriteFunction = ULONG(WINAPI*)(PVOID, LPVOID, DWORD, LPDWORD);
    using CloseFunction = ULONG(WINAPI*)(PVOID);

private:
    HMODULE module_ = nullptr;
    ListDevicesFunction listDevices_ = nullptr;
    OpenExFunction openEx_ = nullptr;
    SetCharsFunction setChars_ = nullptr;
    SetTimeoutsFunction setTimeouts_ = nullptr;
    GetStatusFunction getStatus_ = nullptr;
    ReadFunction read_ = nullptr;
    WriteFunction write_ = nullptr;
    CloseFunction close_ = nullptr;
};

}  // namespace kt57
