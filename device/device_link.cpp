#include "device/device_link.h"

#include <cstring>

#include "console/text_context.h"
#include "sequencer/loader.h"

namespace kt57 {

namespace {

constexpr unsigned char carriageReturn = 0x0D;
constexpr int commandFrameX = 205;
constexpr int replyFrameX = 355;
constexpr int frameY = 70;
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

int openLink(DeviceLink& link) {
    if (link.driver == nullptr) return 0;
    FtDriver& driver = *link.driver;
    link.serialNumber[sizeof link.serialNumber - 1] = '\0';
    if (link.serialNumber[0] == '\0') {
        uint32_t count = 0;
        driver.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
        if (count < 1) return 0;
        char listed[listedSerialCapacity] = {};
        if (driver.FT_ListDevices(reinterpret_cast<void*>(uintptr_t{0}), listed,
                                  FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER) != FT_OK)
            return 0;
        storeListedSerial(link, listed);
    }
    if (driver.FT_OpenEx(link.serialNumber, FT_OPEN_BY_SERIAL_NUMBER, &link.handle) != FT_OK) return 0;
    // The board works without either setting, so their failures do not fail the open.
    driver.FT_SetChars(link.handle, carriageReturn, 1, 0, 0);
    driver.FT_SetTimeouts(link.handle, readTimeoutMilliseconds, writeTimeoutMilliseconds);
    return 1;
}

void releaseLink(DeviceLink& link, RunControl& run) {
    if (link.linkState <= 0) return;
    if (link.driver != nullptr) link.driver->FT_Close(link.handle);
    link.linkState = 0;
    run.connectFailures = 0;
    if (link.wait != nullptr) link.wait->waitMilliseconds(releaseWaitMilliseconds);
}

int sendCommand(DeviceLink& link, const MachineState& machine, ConsoleState& console, const char* text) {
    if (link.driver == nullptr || text == nullptr) return -1;
    unsigned char frame[frameLength];
    std::memcpy(frame, text, 8);
    if (frame[2] == '@') {
        static constexpr char lowerDigits[] = "0123456789abcdef";
        const uint32_t value = static_cast<uint32_t>(machine.outputRegister) & 0xFFFFFF;
        for (int i = 0; i < 6; ++i) frame[2 + i] = static_cast<unsigned char>(lowerDigits[(value >> (20 - 4 * i)) & 0xF]);
    }
    frame[8] = carriageReturn;
    uint32_t written = 0;
    if (link.driver->FT_Write(link.handle, frame, frameLength, &written) != FT_OK) return -1;
    if (console.detailView == 1) drawText(console, commandFrameX, frameY, reinterpret_cast<const char*>(frame), frameLength);
    return static_cast<int>(written);
}

int pollReply(DeviceLink& link, ConsoleState& console, unsigned char* buffer) {
    if (link.driver == nullptr || buffer == nullptr) return -1;
    uint32_t queued = 0;
    uint32_t transmitQueued = 0;
    uint32_t eventStatus = 0;
    if (link.driver->FT_GetStatus(link.handle, &queued, &transmitQueued, &eventStatus) != FT_OK) return -1;
    if (queued < frameLength) return 0;
    uint32_t count = 0;
    if (link.driver->FT_Read(link.handle, buffer, frameLength, &count) != FT_OK) return -1;
    // A driver that claims more than was asked for must not make us draw past the frame.
    if (count > frameLength) count = frameLength;
    if (console.detailView == 1) drawText(console, replyFrameX, frameY, reinterpret_cast<const char*>(buffer), static_cast<int>(count));
    return static_cast<int>(count);
}

void applyReply(MachineState& machine, const unsigned char* frame) {
    const int32_t value = parseHex(6, reinterpret_cast<const char*>(frame + 2));
    if (value < 0) return;
    machine.outputRegister = value;
    switch (frame[0]) {
    case 'U': break;
    case 'R': machine.inputRegister = value ^ machine.polarityMask; break;
    default: machine.inputRegister = value; break;
    }
}

}  // namespace kt57
