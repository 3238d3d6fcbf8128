// The substitute FTD2XX.dll's Windows part: DllMain, the lock that serialises the calls, the
// DLL's own folder and the tick clock. Each export forwards to the portable SubstituteDriver,
// which serves the virtual board of device/ and keeps KT57Board.txt and FTD2XX.log beside the DLL.
#include <windows.h>

#include <cstring>

#include "device/clock.h"
#include "platform/win32/substitute/substitute_driver.h"

namespace kt57 {
namespace {

// The performance counter, not GetTickCount64: that moves in steps of the system tick, 15.6 ms,
// whatever the timer resolution, so a 1 ms reply could wait a whole step and miss the next tick.
class TickClock : public Clock {
public:
    TickClock() { QueryPerformanceFrequency(&frequency_); }
    int64_t nowMilliseconds() override { return nowMicroseconds() / 1000; }
    int64_t nowMicroseconds() override {
        LARGE_INTEGER count;
        QueryPerformanceCounter(&count);
        // Whole seconds and the rest apart, so the product cannot overflow.
        const int64_t ticks = count.QuadPart;
        const int64_t perSecond = frequency_.QuadPart;
        return ticks / perSecond * 1000000 + ticks % perSecond * 1000000 / perSecond;
    }

private:
    LARGE_INTEGER frequency_;
};

// The one board this DLL serves to the process that loaded it.
struct Substitute {
    SRWLOCK lock = SRWLOCK_INIT;
    bool located = false;
    TickClock clock;
    SubstituteDriver driver{clock};
};

HMODULE dllModule = nullptr;
Substitute substitute;

// Holds the lock for one entry point; the first finds the DLL's folder.
class Call {
public:
    Call() {
        AcquireSRWLockExclusive(&substitute.lock);
        if (substitute.located) return;
        substitute.located = true;
        char module[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(dllModule, module, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return;
        char* slash = std::strrchr(module, '\\');
        if (slash == nullptr) return;
        slash[1] = '\0';
        substitute.driver.setDirectory(module);
    }
    ~Call() { ReleaseSRWLockExclusive(&substitute.lock); }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
};

}  // namespace
}  // namespace kt57

using kt57::substitute;

// Exported by name through the .def file, which is what lets a test build leave one out.
extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        kt57::dllModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

ULONG WINAPI FT_ListDevices(PVOID arg1, PVOID arg2, DWORD flags) {
    kt57::Call call;
    return substitute.driver.listDevices(arg1, arg2, flags);
}

ULONG WINAPI FT_OpenEx(PVOID arg, DWORD flags, PVOID* handle) {
    kt57::Call call;
    return substitute.driver.openEx(arg, flags, handle);
}

ULONG WINAPI FT_SetChars(PVOID handle, UCHAR eventChar, UCHAR eventCharEnabled, UCHAR errorChar,
                         UCHAR errorCharEnabled) {
    kt57::Call call;
    return substitute.driver.setChars(handle, eventChar, eventCharEnabled, errorChar, errorCharEnabled);
}

ULONG WINAPI FT_SetTimeouts(PVOID handle, ULONG readTimeout, ULONG writeTimeout) {
    kt57::Call call;
    return substitute.driver.setTimeouts(handle, readTimeout, writeTimeout);
}

ULONG WINAPI FT_GetStatus(PVOID handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventStatus) {
    kt57::Call call;
    return substitute.driver.getStatus(handle, rxBytes, txBytes, eventStatus);
}

ULONG WINAPI FT_Read(PVOID handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesReturned) {
    kt57::Call call;
    return substitute.driver.read(handle, buffer, bytesToRead, bytesReturned);
}

ULONG WINAPI FT_Write(PVOID handle, LPVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten) {
    kt57::Call call;
    return substitute.driver.write(handle, buffer, bytesToWrite, bytesWritten);
}

ULONG WINAPI FT_Close(PVOID handle) {
    kt57::Call call;
    return substitute.driver.close(handle);
}

}  // extern "C"
