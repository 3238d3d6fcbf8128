#include "device/virtual_board.h"

#include <cstring>

namespace kt57 {

namespace {

constexpr size_t commandLength = 9;

FT_HANDLE toHandle(uintptr_t number) { return reinterpret_cast<FT_HANDLE>(number); }

size_t boundedLength(const char* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length] != '\0') ++length;
    return length;
}

}  // namespace

VirtualBoard::VirtualBoard(Clock& clock) : clock_(clock) {}

void VirtualBoard::unplug() {
    faults.unplugged = true;
    catchUp();
}

void VirtualBoard::plug() {
    catchUp();  // an unplug set through the switch alone still kills the handles before the board returns
    faults.unplugged = false;
    unplugApplied_ = false;
}

void VirtualBoard::inject(const unsigned char* bytes, size_t size) {
    catchUp();
    if (liveHandle_ == 0 || bytes == nullptr) return;
    pushReceived(bytes, size);
}

size_t VirtualBoard::queuedBytes() {
    catchUp();
    return receiveSize_;
}

void VirtualBoard::catchUp() {
    if (faults.unplugged && !unplugApplied_) {
        // The board is gone: its handle dies for good and nothing queued survives.
        liveHandle_ = 0;
        dropHandleState();
        unplugApplied_ = true;
    }
    if (!faults.unplugged) unplugApplied_ = false;
    const int64_t now = clock_.nowMilliseconds();
    for (;;) {
        PendingReply* next = nullptr;
        for (PendingReply& reply : pending_) {
            if (!reply.used || reply.dueMilliseconds > now) continue;
            if (next == nullptr || reply.dueMilliseconds < next->dueMilliseconds ||
                (reply.dueMilliseconds == next->dueMilliseconds && reply.order < next->order))
                next = &reply;
        }
        if (next == nullptr) return;
        pushReceived(next->bytes, commandLength);
        next->used = false;
    }
}

void VirtualBoard::dropHandleState() {
    receiveHead_ = 0;
    receiveSize_ = 0;
    for (PendingReply& reply : pending_) reply.used = false;
    commandSize_ = 0;
}

bool VirtualBoard::isLive(FT_HANDLE handle) const {
    return liveHandle_ != 0 && handle == toHandle(liveHandle_);
}

FT_STATUS VirtualBoard::handleStatus(FT_HANDLE handle) const {
    // An unplug has already killed every handle, so a live handle implies a plugged board.
    return isLive(handle) ? FT_OK : FT_INVALID_HANDLE;
}

void VirtualBoard::pushReceived(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size && receiveSize_ < receiveCapacity; ++i) {
        receive_[(receiveHead_ + receiveSize_) % receiveCapacity] = bytes[i];
        ++receiveSize_;
    }
}

void VirtualBoard::takeWrittenByte(unsigned char byte) {
    command_[commandSize_++] = byte;
    if (commandSize_ < commandLength) return;
    commandSize_ = 0;
    unsigned char reply[commandLength];
    if (!model.answerCommand(command_, reply)) return;
    for (PendingReply& slot : pending_) {
        if (slot.used) continue;
        slot.used = true;
        slot.dueMilliseconds = clock_.nowMilliseconds() + (latencyMilliseconds > 0 ? latencyMilliseconds : 0);
        slot.order = nextOrder_++;
        std::memcpy(slot.bytes, reply, commandLength);
        return;
    }
}

FT_STATUS VirtualBoard::FT_ListDevices(void* arg1, void* arg2, uint32_t flags) {
    catchUp();
    if (flags == FT_LIST_NUMBER_ONLY) {
        if (arg1 == nullptr) return FT_INVALID_PARAMETER;
        *static_cast<uint32_t*>(arg1) = faults.unplugged ? 0 : 1;
        return FT_OK;
    }
    if (flags == (FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER)) {
        if (arg2 == nullptr) return FT_INVALID_PARAMETER;
        if (faults.unplugged || reinterpret_cast<uintptr_t>(arg1) != 0) return FT_DEVICE_NOT_FOUND;
        char* serial = static_cast<char*>(arg2);
        const size_t length = boundedLength(model.serialNumber, sizeof model.serialNumber - 1);
        std::memcpy(serial, model.serialNumber, length);
        serial[length] = '\0';
        return FT_OK;
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS VirtualBoard::FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
    catchUp();
    if (arg == nullptr || handle == nullptr || flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_INVALID_PARAMETER;
    if (faults.unplugged) return FT_DEVICE_NOT_FOUND;
    // Compare within a bound: the caller's serial need not be shorter than ours.
    const char* wanted = static_cast<const char*>(arg);
    const size_t length = boundedLength(model.serialNumber, sizeof model.serialNumber - 1);
    if (std::strncmp(wanted, model.serialNumber, length) != 0 || wanted[length] != '\0') return FT_DEVICE_NOT_FOUND;
    // A device serves one handle at a time, like the real driver.
    if (faults.openFails || liveHandle_ != 0) return FT_DEVICE_NOT_OPENED;
    dropHandleState();
    liveHandle_ = ++lastHandle_;
    *handle = toHandle(liveHandle_);
    return FT_OK;
}

FT_STATUS VirtualBoard::FT_SetChars(FT_HANDLE handle, unsigned char, unsigned char, unsigned char, unsigned char) {
    catchUp();
    return handleStatus(handle);
}

FT_STATUS VirtualBoard::FT_SetTimeouts(FT_HANDLE handle, uint32_t, uint32_t) {
    catchUp();
    return handleStatus(handle);
}

FT_STATUS VirtualBoard::FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) {
    catchUp();
    if (const FT_STATUS status = handleStatus(handle); status != FT_OK) return status;
    if (rxBytes == nullptr || txBytes == nullptr || eventStatus == nullptr) return FT_INVALID_PARAMETER;
    if (faults.statusFails) return FT_IO_ERROR;
    *rxBytes = static_cast<uint32_t>(receiveSize_);
    *txBytes = 0;
    *eventStatus = 0;
    return FT_OK;
}

FT_STATUS VirtualBoard::FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) {
    catchUp();
    if (const FT_STATUS status = handleStatus(handle); status != FT_OK) return status;
    if (buffer == nullptr || bytesReturned == nullptr) return FT_INVALID_PARAMETER;
    if (faults.readFails) return FT_IO_ERROR;
    // Virtual time does not pass inside a call: a short read returns at once with what is queued.
    unsigned char* out = static_cast<unsigned char*>(buffer);
    uint32_t count = 0;
    while (count < bytesToRead && receiveSize_ > 0) {
        out[count++] = receive_[receiveHead_];
        receiveHead_ = (receiveHead_ + 1) % receiveCapacity;
        --receiveSize_;
    }
    *bytesReturned = count;
    return FT_OK;
}

FT_STATUS VirtualBoard::FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) {
    catchUp();
    if (const FT_STATUS status = handleStatus(handle); status != FT_OK) return status;
    if (buffer == nullptr || bytesWritten == nullptr) return FT_INVALID_PARAMETER;
    if (faults.writeFails) return FT_IO_ERROR;
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    for (uint32_t i = 0; i < bytesToWrite; ++i) takeWrittenByte(bytes[i]);
    *bytesWritten = bytesToWrite;
    return FT_OK;
}

FT_STATUS VirtualBoard::FT_Close(FT_HANDLE handle) {
    catchUp();
    if (!isLive(handle)) return FT_INVALID_HANDLE;
    liveHandle_ = 0;
    dropHandleState();
    return FT_OK;
}

}  // namespace kt57
