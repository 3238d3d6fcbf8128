#include "device/device_link.h"

#include <cstring>

#include "device/hex.h"

namespace kt57 {

namespace {

constexpr unsigned char carriageReturn = 0x0D;
constexpr uint32_t readTimeoutMilliseconds = 100;
constexpr uint32_t writeTimeoutMilliseconds = 100;
constexpr int releaseWaitMilliseconds = 20;

// Keeps a listed serial number of any length from running past the link's 16-byte buffer.
void storeListedSerial(DeviceLink& link, char* listed) {
    listed[listedSerialCapacity - 1] = '\0';
    const size_t limit = sizeof link.serialNumber - 1;
    size_t length = 0;
    while (length < limit && listed[length] != '\0') ++length;
    std::memcpy(link.serialNumber, listed, length);
    link.serialNumber[length] = '\0';
}

}  // namespace

LinkState openLink(DeviceLink& link) {
    FtDriver& driver = *link.driver;
    link.serialNumber[sizeof link.serialNumber - 1] = '\0';
    if (link.serialNumber[0] == '\0') {
        uint32_t count = 0;
        driver.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
        if (count < 1) return LinkState::Closed;
        char listed[listedSerialCapacity] = {};
        if (driver.FT_ListDevices(reinterpret_cast<void*>(uintptr_t{0}), listed,
                                  FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER) != FT_OK)
            return LinkState::Closed;
        storeListedSerial(link, listed);
    }
    if (driver.FT_OpenEx(link.serialNumber, FT_OPEN_BY_SERIAL_NUMBER, &link.handle) != FT_OK) return LinkState::Closed;
    // The board works without either setting, so their failures do not fail the open.
    driver.FT_SetChars(link.handle, carriageReturn, 1, 0, 0);
    driver.FT_SetTimeouts(link.handle, readTimeoutMilliseconds, writeTimeoutMilliseconds);
    return LinkState::Open;
}

bool releaseLink(DeviceLink& link) {
    if (link.linkState != LinkState::Open) return false;
    link.driver->FT_Close(link.handle);
    link.linkState = LinkState::Closed;
    link.wait->waitMilliseconds(releaseWaitMilliseconds);
    return true;
}

int sendCommand(DeviceLink& link, int32_t outputValue, const char* text, unsigned char (&frame)[frameLength]) {
    if (text == nullptr) return -1;
    std::memcpy(frame, text, 8);
    // The board reads either case; the program's own value goes out in lower case.
    if (frame[2] == '@') writeHexDigits(static_cast<uint32_t>(outputValue) & pinMask, 6, lowerHexDigits, frame + 2);
    frame[8] = carriageReturn;
    uint32_t written = 0;
    if (link.driver->FT_Write(link.handle, frame, frameLength, &written) != FT_OK) return -1;
    return static_cast<int>(written);
}

int pollReply(DeviceLink& link, unsigned char (&reply)[frameLength]) {
    uint32_t queued = 0;
    uint32_t transmitQueued = 0;
    uint32_t eventStatus = 0;
    if (link.driver->FT_GetStatus(link.handle, &queued, &transmitQueued, &eventStatus) != FT_OK) return -1;
    if (queued < frameLength) return 0;
    uint32_t count = 0;
    if (link.driver->FT_Read(link.handle, reply, frameLength, &count) != FT_OK) return -1;
    // A driver that claims more than was asked for must not make a caller read past the frame.
    if (count > frameLength) count = frameLength;
    return static_cast<int>(count);
}

}  // namespace kt57
