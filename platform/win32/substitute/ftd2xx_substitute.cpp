// The substitute FTD2XX.dll: the eight D2XX entry points serving the virtual board of device/, the
// same model the in-process tests use. KT57Board.txt beside the DLL sets the board, and is read
// again whenever it changes; FTD2XX.log beside it records every open, close and frame.
#include <windows.h>

#include <cstring>

#include "device/clock.h"
#include "device/virtual_board.h"
#include "platform/win32/substitute/board_config.h"
#include "platform/win32/substitute/frame_log.h"

namespace kt57 {
namespace {

class TickClock : public Clock {
public:
    int64_t nowMilliseconds() override { return static_cast<int64_t>(GetTickCount64()); }
};

struct ConfigStamp {
    bool present = false;
    FILETIME written = {};
    DWORD sizeLow = 0;
    bool operator==(const ConfigStamp& other) const {
        return present == other.present && written.dwLowDateTime == other.written.dwLowDateTime &&
               written.dwHighDateTime == other.written.dwHighDateTime && sizeLow == other.sizeLow;
    }
};

// The one board this DLL serves to the process that loaded it.
struct Substitute {
    SRWLOCK lock = SRWLOCK_INIT;
    bool prepared = false;
    char directory[MAX_PATH] = {};
    TickClock clock;
    VirtualBoard board{clock};
    FrameLog log;
    ConfigStamp configStamp;
    bool configChecked = false;
};

HMODULE dllModule = nullptr;
Substitute substitute;

void pathBeside(const char* name, char* path, size_t size) {
    std::snprintf(path, size, "%s%s", substitute.directory, name);
}

void reportProblem(void* context, int lineNumber, const char* message) {
    static_cast<FrameLog*>(context)->line("config line %d: %s", lineNumber, message);
}

ConfigStamp stampOf(const char* path) {
    ConfigStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) == 0) return stamp;
    stamp.present = true;
    stamp.written = data.ftLastWriteTime;
    stamp.sizeLow = data.nFileSizeLow;
    return stamp;
}

void loadConfig(const char* path, bool present) {
    BoardConfig config;  // a line that is gone from the file goes back to its default
    if (present) {
        char text[8192];
        size_t size = 0;
        if (std::FILE* file = std::fopen(path, "rb")) {
            size = std::fread(text, 1, sizeof text, file);
            if (size == sizeof text) substitute.log.line("config: only the first %u bytes are read", static_cast<unsigned>(size));
            std::fclose(file);
        }
        parseBoardConfig(text, size, config, reportProblem, &substitute.log);
    }
    applyBoardConfig(config, substitute.board);
    substitute.log.line("config %s: serial=%s inputs=%06X latency=%d muted=%d unplugged=%d openFails=%d "
                        "writeFails=%d statusFails=%d readFails=%d",
                        present ? "read" : "missing, defaults", config.serialNumber,
                        static_cast<unsigned>(config.inputs), config.latencyMilliseconds, config.muted,
                        config.faults.unplugged, config.faults.openFails, config.faults.writeFails,
                        config.faults.statusFails, config.faults.readFails);
}

// Runs at the start of every entry point: the first call finds the files, later calls notice edits.
void prepare() {
    if (!substitute.prepared) {
        char module[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(dllModule, module, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            char* slash = std::strrchr(module, '\\');
            if (slash != nullptr) slash[1] = '\0';
            std::snprintf(substitute.directory, sizeof substitute.directory, "%s", slash != nullptr ? module : "");
        }
        char logPath[MAX_PATH + 32];
        pathBeside(frameLogFileName, logPath, sizeof logPath);
        substitute.log.open(logPath);
        substitute.log.line("loaded");
        substitute.prepared = true;
    }
    char configPath[MAX_PATH + 32];
    pathBeside(boardConfigFileName, configPath, sizeof configPath);
    const ConfigStamp stamp = stampOf(configPath);
    if (!substitute.configChecked || !(stamp == substitute.configStamp)) {
        substitute.configStamp = stamp;
        substitute.configChecked = true;
        loadConfig(configPath, stamp.present);
    }
}

class Call {
public:
    Call() {
        AcquireSRWLockExclusive(&substitute.lock);
        prepare();
    }
    ~Call() { ReleaseSRWLockExclusive(&substitute.lock); }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
};

void describeSerial(const void* argument, char* out, size_t size) {
    if (argument == nullptr) {
        std::snprintf(out, size, "(null)");
        return;
    }
    const char* serial = static_cast<const char*>(argument);
    describeBytes(reinterpret_cast<const unsigned char*>(serial), strnlen(serial, 64), out, size);
}

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
    const ULONG status = substitute.board.FT_ListDevices(arg1, arg2, flags);
    if (flags == kt57::FT_LIST_NUMBER_ONLY && status == kt57::FT_OK && arg1 != nullptr) {
        substitute.log.line("list count %lu", static_cast<unsigned long>(*static_cast<DWORD*>(arg1)));
    } else if (status == kt57::FT_OK) {
        char serial[300];
        kt57::describeSerial(arg2, serial, sizeof serial);
        substitute.log.line("list index %llu %s", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(arg1)),
                            serial);
    } else {
        substitute.log.line("list flags %08lX failed %lu", static_cast<unsigned long>(flags), status);
    }
    return status;
}

ULONG WINAPI FT_OpenEx(PVOID arg, DWORD flags, PVOID* handle) {
    kt57::Call call;
    const ULONG status = substitute.board.FT_OpenEx(arg, flags, handle);
    char serial[300];
    kt57::describeSerial(arg, serial, sizeof serial);
    if (status == kt57::FT_OK) {
        substitute.log.line("open %s", serial);
    } else {
        substitute.log.line("open %s failed %lu", serial, status);
    }
    return status;
}

ULONG WINAPI FT_SetChars(PVOID handle, UCHAR eventChar, UCHAR eventCharEnabled, UCHAR errorChar,
                                               UCHAR errorCharEnabled) {
    kt57::Call call;
    const ULONG status = substitute.board.FT_SetChars(handle, eventChar, eventCharEnabled, errorChar, errorCharEnabled);
    substitute.log.line("chars event %02X %u error %02X %u status %lu", eventChar, eventCharEnabled, errorChar,
                        errorCharEnabled, status);
    return status;
}

ULONG WINAPI FT_SetTimeouts(PVOID handle, ULONG readTimeout, ULONG writeTimeout) {
    kt57::Call call;
    const ULONG status = substitute.board.FT_SetTimeouts(handle, readTimeout, writeTimeout);
    substitute.log.line("timeouts read %lu write %lu status %lu", readTimeout, writeTimeout, status);
    return status;
}

ULONG WINAPI FT_GetStatus(PVOID handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventStatus) {
    kt57::Call call;
    uint32_t rx = 0;
    uint32_t tx = 0;
    uint32_t events = 0;
    const ULONG status = substitute.board.FT_GetStatus(handle, rxBytes != nullptr ? &rx : nullptr,
                                                       txBytes != nullptr ? &tx : nullptr,
                                                       eventStatus != nullptr ? &events : nullptr);
    if (status == kt57::FT_OK) {
        if (rxBytes != nullptr) *rxBytes = rx;
        if (txBytes != nullptr) *txBytes = tx;
        if (eventStatus != nullptr) *eventStatus = events;
    }
    return status;
}

ULONG WINAPI FT_Read(PVOID handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesReturned) {
    kt57::Call call;
    uint32_t count = 0;
    const ULONG status = substitute.board.FT_Read(handle, buffer, bytesToRead, &count);
    if (bytesReturned != nullptr) *bytesReturned = count;
    if (status == kt57::FT_OK) {
        substitute.log.bytes("read", static_cast<const unsigned char*>(buffer), count);
    } else {
        substitute.log.line("read failed %lu", status);
    }
    return status;
}

ULONG WINAPI FT_Write(PVOID handle, LPVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten) {
    kt57::Call call;
    uint32_t count = 0;
    const ULONG status = substitute.board.FT_Write(handle, buffer, bytesToWrite, &count);
    if (bytesWritten != nullptr) *bytesWritten = count;
    if (status == kt57::FT_OK) {
        substitute.log.bytes("write", static_cast<const unsigned char*>(buffer), bytesToWrite);
    } else {
        substitute.log.line("write failed %lu", status);
    }
    return status;
}

ULONG WINAPI FT_Close(PVOID handle) {
    kt57::Call call;
    const ULONG status = substitute.board.FT_Close(handle);
    if (status == kt57::FT_OK) {
        substitute.log.line("close");
    } else {
        substitute.log.line("close failed %lu", status);
    }
    return status;
}

}  // extern "C"
