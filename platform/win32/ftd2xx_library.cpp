#include "platform/win32/ftd2xx_library.h"

namespace kt57 {
namespace {

// DWORD and ULONG are 32 bits on every Windows ABI, so the interface's uint32_t passes straight through.
static_assert(sizeof(DWORD) == sizeof(uint32_t) && sizeof(ULONG) == sizeof(uint32_t));

template <typename Function>
bool take(HMODULE module, const char* name, Function& function) {
    const FARPROC address = GetProcAddress(module, name);
    // Through the generic function pointer type, which is how a FARPROC is meant to be converted.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return address != nullptr;
}

}  // namespace

Ftd2xxLibrary::~Ftd2xxLibrary() { unload(); }

bool Ftd2xxLibrary::load(const char* libraryName) {
    unload();
    const HMODULE module = LoadLibraryA(libraryName);
    if (module == nullptr) return false;
    module_ = module;
    const bool complete = take(module, "FT_ListDevices", listDevices_) & take(module, "FT_OpenEx", openEx_) &
                          take(module, "FT_SetChars", setChars_) & take(module, "FT_SetTimeouts", setTimeouts_) &
                          take(module, "FT_GetStatus", getStatus_) & take(module, "FT_Read", read_) &
                          take(module, "FT_Write", write_) & take(module, "FT_Close", close_);
    if (!complete) unload();
    return complete;
}

void Ftd2xxLibrary::unload() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
    listDevices_ = nullptr;
    openEx_ = nullptr;
    setChars_ = nullptr;
    setTimeouts_ = nullptr;
    getStatus_ = nullptr;
    read_ = nullptr;
    write_ = nullptr;
    close_ = nullptr;
}

// Without the library every call answers as the driver does when no device is attached.
FT_STATUS Ftd2xxLibrary::FT_ListDevices(void* arg1, void* arg2, uint32_t flags) {
    if (!loaded()) return FT_DEVICE_NOT_FOUND;
    return listDevices_(arg1, arg2, flags);
}

FT_STATUS Ftd2xxLibrary::FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
    if (!loaded()) return FT_DEVICE_NOT_FOUND;
    return openEx_(arg, flags, handle);
}

FT_STATUS Ftd2xxLibrary::FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled,
                                     unsigned char errorChar, unsigned char errorCharEnabled) {
    if (!loaded()) return FT_INVALID_HANDLE;
    return setChars_(handle, eventChar, eventCharEnabled, errorChar, errorCharEnabled);
}

FT_STATUS Ftd2xxLibrary::FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) {
    if (!loaded()) return FT_INVALID_HANDLE;
    return setTimeouts_(handle, readTimeout, writeTimeout);
}

FT_STATUS Ftd2xxLibrary::FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) {
    if (!loaded()) return FT_INVALID_HANDLE;
    // DWORD is unsigned long on Windows: the counts go through locals of the driver's own type.
    DWORD rx = rxBytes != nullptr ? *rxBytes : 0;
    DWORD tx = txBytes != nullptr ? *txBytes : 0;
    DWORD events = eventStatus != nullptr ? *eventStatus : 0;
    const FT_STATUS status = getStatus_(handle, &rx, &tx, &events);
    if (rxBytes != nullptr) *rxBytes = rx;
    if (txBytes != nullptr) *txBytes = tx;
    if (eventStatus != nullptr) *eventStatus = events;
    return status;
}

FT_STATUS Ftd2xxLibrary::FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) {
    if (!loaded()) return FT_INVALID_HANDLE;
    DWORD count = 0;
    const FT_STATUS status = read_(handle, buffer, bytesToRead, &count);
    if (bytesReturned != nullptr) *bytesReturned = count;
    return status;
}

FT_STATUS Ftd2xxLibrary::FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) {
    if (!loaded()) return FT_INVALID_HANDLE;
    // The D2XX prototype takes a non-const buffer but only reads it.
    DWORD count = 0;
    const FT_STATUS status = write_(handle, const_cast<void*>(buffer), bytesToWrite, &count);
    if (bytesWritten != nullptr) *bytesWritten = count;
    return status;
}

FT_STATUS Ftd2xxLibrary::FT_Close(FT_HANDLE handle) {
    if (!loaded()) return FT_INVALID_HANDLE;
    return close_(handle);
}

}  // namespace kt57
