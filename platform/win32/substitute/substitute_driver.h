// The substitute FTD2XX.dll's entry points, portable: the eight D2XX calls over the in-process
// virtual board, KT57Board.txt read again whenever it changes, and FTD2XX.log, both in the DLL's
// folder. The Windows part (ftd2xx_substitute.cpp) only finds that folder, serialises the calls
// and forwards each export here, so the same bodies are tested natively.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/virtual_board.h"
#include "device/clock.h"
#include "platform/win32/substitute/frame_log.h"

namespace kt57 {

// The D2XX DWORD and ULONG as the Windows headers spell them.
using Dword = unsigned long;

class SubstituteDriver {
public:
    static constexpr size_t directoryCapacity = 520;

    explicit SubstituteDriver(Clock& clock);
    SubstituteDriver(const SubstituteDriver&) = delete;
    SubstituteDriver& operator=(const SubstituteDriver&) = delete;

    // The folder of KT57Board.txt and FTD2XX.log, ending in its separator ("" is the working
    // folder). Set before the first call; the first call opens the log there.
    void setDirectory(const char* directory);

    Dword listDevices(void* arg1, void* arg2, Dword flags);
    Dword openEx(void* arg, Dword flags, void** handle);
    Dword setChars(void* handle, unsigned char eventChar, unsigned char eventCharEnabled, unsigned char errorChar,
                   unsigned char errorCharEnabled);
    Dword setTimeouts(void* handle, Dword readTimeout, Dword writeTimeout);
    Dword getStatus(void* handle, Dword* rxBytes, Dword* txBytes, Dword* eventStatus);
    Dword read(void* handle, void* buffer, Dword bytesToRead, Dword* bytesReturned);
    Dword write(void* handle, void* buffer, Dword bytesToWrite, Dword* bytesWritten);
    Dword close(void* handle);

    BoardSession& session() { return board_.session; }

private:
    struct ConfigStamp {
        bool present = false;
        int64_t modified = 0;  // seconds
        int64_t size = 0;
        bool operator==(const ConfigStamp& other) const {
            return present == other.present && modified == other.modified && size == other.size;
        }
    };

    // Runs at the start of every entry point: the first call opens the log, later calls notice edits.
    void prepare();
    void loadConfig(const char* path, bool present);
    void pathBeside(const char* name, char* path, size_t size) const;
    static ConfigStamp stampOf(const char* path);

    VirtualBoard board_;
    Clock& clock_;
    FrameLog log_;
    char directory_[directoryCapacity] = {};
    bool prepared_ = false;
    bool configChecked_ = false;
    ConfigStamp configStamp_;
    char configText_[8192] = {};  // kept off the caller's stack: the DLL runs on the program's threads
};

}  // namespace kt57
