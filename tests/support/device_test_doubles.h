// Small services for the device tests: a hand-driven clock, a wait that only records, a surface that
// records what is drawn, and a driver that records the calls it passes on to a real one.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "console/text_surface.h"
#include "device/blocking_wait.h"
#include "device/clock.h"
#include "device/ft_driver.h"

namespace kt57::test {

class TestClock : public Clock {
public:
    int64_t nowMilliseconds() override { return now; }
    int64_t now = 0;
};

class RecordingWait : public BlockingWait {
public:
    void waitMilliseconds(int milliseconds) override { waits.push_back(milliseconds); }
    std::vector<int> waits;
};

struct DrawnText {
    int x;
    int y;
    std::string bytes;
};

class RecordingSurface : public TextSurface {
public:
    void openContext(int) override { open = true; }
    void closeContext() override { open = false; }
    bool drawText(int x, int y, const char* bytes, int length) override {
        if (!open) return false;
        drawn.push_back({x, y, std::string(bytes, static_cast<size_t>(length))});
        return true;
    }
    void resizeWindow(int, int) override {}
    bool open = false;
    std::vector<DrawnText> drawn;
};

// Passes every call on to inner, keeping what the link asked for; a few answers can be forced.
class RecordingDriver : public FtDriver {
public:
    explicit RecordingDriver(FtDriver& inner) : inner_(inner) {}

    int countListings = 0;
    int indexListings = 0;
    int opens = 0;
    int closes = 0;
    std::string openedSerial;
    unsigned char setCharsArguments[4] = {};
    uint32_t timeouts[2] = {};
    std::string lastWrite;

    // Forced answers: a listing that writes these bytes (up to listedSerialCapacity, no NUL added),
    // failing configuration calls, a failing index listing, an exaggerated read count.
    const char* listedBytes = nullptr;
    size_t listedLength = 0;
    bool configurationFails = false;
    bool indexListingFails = false;
    uint32_t readCountOverride = 0;

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override {
        if (flags == FT_LIST_NUMBER_ONLY) {
            ++countListings;
            return inner_.FT_ListDevices(arg1, arg2, flags);
        }
        ++indexListings;
        if (indexListingFails) return FT_DEVICE_NOT_FOUND;
        if (listedBytes != nullptr) {
            std::memcpy(arg2, listedBytes, listedLength);
            return FT_OK;
        }
        return inner_.FT_ListDevices(arg1, arg2, flags);
    }
    FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override {
        ++opens;
        openedSerial = static_cast<const char*>(arg);
        return inner_.FT_OpenEx(arg, flags, handle);
    }
    FT_STATUS FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled,
                          unsigned char errorChar, unsigned char errorCharEnabled) override {
        const unsigned char arguments[4] = {eventChar, eventCharEnabled, errorChar, errorCharEnabled};
        std::memcpy(setCharsArguments, arguments, 4);
        const FT_STATUS status = inner_.FT_SetChars(handle, eventChar, eventCharEnabled, errorChar, errorCharEnabled);
        return configurationFails ? FT_IO_ERROR : status;
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) override {
        timeouts[0] = readTimeout;
        timeouts[1] = writeTimeout;
        const FT_STATUS status = inner_.FT_SetTimeouts(handle, readTimeout, writeTimeout);
        return configurationFails ? FT_IO_ERROR : status;
    }
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) override {
        return inner_.FT_GetStatus(handle, rxBytes, txBytes, eventStatus);
    }
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) override {
        const FT_STATUS status = inner_.FT_Read(handle, buffer, bytesToRead, bytesReturned);
        if (status == FT_OK && readCountOverride != 0) *bytesReturned = readCountOverride;
        return status;
    }
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) override {
        lastWrite.assign(static_cast<const char*>(buffer), bytesToWrite);
        return inner_.FT_Write(handle, buffer, bytesToWrite, bytesWritten);
    }
    FT_STATUS FT_Close(FT_HANDLE handle) override {
        ++closes;
        return inner_.FT_Close(handle);
    }

private:
    FtDriver& inner_;
};

}  // namespace kt57::test
