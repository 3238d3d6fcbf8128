#include "platform/win32/substitute/substitute_driver.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "device/byte_escapes.h"
#include "platform/win32/substitute/board_config.h"

namespace kt57 {
namespace {

void reportProblem(void* context, int lineNumber, const char* message) {
    static_cast<FrameLog*>(context)->line("config line %d: %s", lineNumber, message);
}

void describeSerial(const void* argument, char* out, size_t size) {
    if (argument == nullptr) {
        std::snprintf(out, size, "(null)");
        return;
    }
    const char* serial = static_cast<const char*>(argument);
    formatEscapedBytes(reinterpret_cast<const unsigned char*>(serial), strnlen(serial, 64), out, size);
}

}  // namespace

SubstituteDriver::SubstituteDriver(Clock& clock) : board_(clock), clock_(clock) {}

void SubstituteDriver::setDirectory(const char* directory) {
    std::snprintf(directory_, sizeof directory_, "%s", directory);
}

void SubstituteDriver::pathBeside(const char* name, char* path, size_t size) const {
    std::snprintf(path, size, "%s%s", directory_, name);
}

SubstituteDriver::ConfigStamp SubstituteDriver::stampOf(const char* path) {
    ConfigStamp stamp;
    struct stat status {};
    if (stat(path, &status) != 0) return stamp;
    stamp.present = true;
    stamp.modified = static_cast<int64_t>(status.st_mtime);
    stamp.size = static_cast<int64_t>(status.st_size);
    return stamp;
}

void SubstituteDriver::loadConfig(const char* path, bool present) {
    BoardConfig config;  // a line that is gone from the file goes back to its default
    if (present) {
        size_t size = 0;
        if (std::FILE* file = std::fopen(path, "rb")) {
            size = std::fread(configText_, 1, sizeof configText_, file);
            if (size == sizeof configText_) log_.line("config: only the first %u bytes are read", static_cast<unsigned>(size));
            std::fclose(file);
        }
        parseBoardConfig(configText_, size, config, reportProblem, &log_);
    }
    applyBoardConfig(config, board_.session);
    log_.line("config %s: serial=%s inputs=%06X latency=%d muted=%d unplugged=%d openFails=%d "
              "writeFails=%d statusFails=%d readFails=%d",
              present ? "read" : "missing, defaults", config.serialNumber, static_cast<unsigned>(config.inputs),
              config.latencyMilliseconds, config.muted, config.faults.unplugged, config.faults.openFails,
              config.faults.writeFails, config.faults.statusFails, config.faults.readFails);
}

void SubstituteDriver::prepare() {
    if (!prepared_) {
        char logPath[directoryCapacity + 32];
        pathBeside(frameLogFileName, logPath, sizeof logPath);
        log_.open(logPath, clock_);
        log_.line("loaded");
        prepared_ = true;
    }
    char configPath[directoryCapacity + 32];
    pathBeside(boardConfigFileName, configPath, sizeof configPath);
    const ConfigStamp stamp = stampOf(configPath);
    if (!configChecked_ || !(stamp == configStamp_)) {
        configStamp_ = stamp;
        configChecked_ = true;
        loadConfig(configPath, stamp.present);
    }
}

Dword SubstituteDriver::listDevices(void* arg1, void* arg2, Dword flags) {
    prepare();
    const FT_STATUS status = board_.FT_ListDevices(arg1, arg2, static_cast<uint32_t>(flags));
    if (flags == FT_LIST_NUMBER_ONLY && status == FT_OK && arg1 != nullptr) {
        log_.line("list count %lu", static_cast<unsigned long>(*static_cast<uint32_t*>(arg1)));
    } else if (status == FT_OK) {
        char serial[300];
        describeSerial(arg2, serial, sizeof serial);
        log_.line("list index %llu %s", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(arg1)), serial);
    } else {
        log_.line("list flags %08lX failed %lu", flags, static_cast<unsigned long>(status));
    }
    return status;
}

Dword SubstituteDriver::openEx(void* arg, Dword flags, void** handle) {
    prepare();
    const FT_STATUS status = board_.FT_OpenEx(arg, static_cast<uint32_t>(flags), handle);
    char serial[300];
    describeSerial(arg, serial, sizeof serial);
    if (status == FT_OK) {
        log_.line("open %s", serial);
    } else {
        log_.line("open %s failed %lu", serial, static_cast<unsigned long>(status));
    }
    return status;
}

Dword SubstituteDriver::setChars(void* handle, unsigned char eventChar, unsigned char eventCharEnabled,
                                 unsigned char errorChar, unsigned char errorCharEnabled) {
    prepare();
    const FT_STATUS status = board_.FT_SetChars(handle, eventChar, eventCharEnabled, errorChar, errorCharEnabled);
    log_.line("chars event %02X %u error %02X %u status %lu", eventChar, eventCharEnabled, errorChar, errorCharEnabled,
              static_cast<unsigned long>(status));
    return status;
}

Dword SubstituteDriver::setTimeouts(void* handle, Dword readTimeout, Dword writeTimeout) {
    prepare();
    const FT_STATUS status =
        board_.FT_SetTimeouts(handle, static_cast<uint32_t>(readTimeout), static_cast<uint32_t>(writeTimeout));
    log_.line("timeouts read %lu write %lu status %lu", readTimeout, writeTimeout, static_cast<unsigned long>(status));
    return status;
}

Dword SubstituteDriver::getStatus(void* handle, Dword* rxBytes, Dword* txBytes, Dword* eventStatus) {
    prepare();
    uint32_t rx = 0;
    uint32_t tx = 0;
    uint32_t events = 0;
    const FT_STATUS status = board_.FT_GetStatus(handle, rxBytes != nullptr ? &rx : nullptr,
                                                 txBytes != nullptr ? &tx : nullptr,
                                                 eventStatus != nullptr ? &events : nullptr);
    if (status == FT_OK) {
        *rxBytes = rx;
        *txBytes = tx;
        *eventStatus = events;
    }
    return status;
}

Dword SubstituteDriver::read(void* handle, void* buffer, Dword bytesToRead, Dword* bytesReturned) {
    prepare();
    uint32_t count = 0;
    const FT_STATUS status = board_.FT_Read(handle, buffer, static_cast<uint32_t>(bytesToRead), &count);
    if (bytesReturned != nullptr) *bytesReturned = count;
    if (status == FT_OK) {
        log_.bytes("read", static_cast<const unsigned char*>(buffer), count);
    } else {
        log_.line("read failed %lu", static_cast<unsigned long>(status));
    }
    return status;
}

Dword SubstituteDriver::write(void* handle, void* buffer, Dword bytesToWrite, Dword* bytesWritten) {
    prepare();
    uint32_t count = 0;
    const FT_STATUS status = board_.FT_Write(handle, buffer, static_cast<uint32_t>(bytesToWrite), &count);
    if (bytesWritten != nullptr) *bytesWritten = count;
    if (status == FT_OK) {
        log_.bytes("write", static_cast<const unsigned char*>(buffer), bytesToWrite);
    } else {
        log_.line("write failed %lu", static_cast<unsigned long>(status));
    }
    return status;
}

Dword SubstituteDriver::close(void* handle) {
    prepare();
    const FT_STATUS status = board_.FT_Close(handle);
    if (status == FT_OK) {
        log_.line("close");
    } else {
        log_.line("close failed %lu", static_cast<unsigned long>(status));
    }
    return status;
}

}  // namespace kt57
