#include "board/virtual_board.h"

#include <cstring>

namespace kt57 {

namespace {

BoardSession::Link linkOf(FT_HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

FT_STATUS statusOf(LinkCall result) {
    switch (result) {
    case LinkCall::Done: return FT_OK;
    case LinkCall::Dead: return FT_INVALID_HANDLE;
    case LinkCall::Fails: break;
    }
    return FT_IO_ERROR;
}

}  // namespace

VirtualBoard::VirtualBoard(Clock& clock) : session(clock) {}

FT_STATUS VirtualBoard::handleStatus(FT_HANDLE handle) {
    session.update();
    // An unplug has already killed every link, so a live one implies a plugged board.
    return session.isLive(linkOf(handle)) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS VirtualBoard::FT_ListDevices(void* arg1, void* arg2, uint32_t flags) {
    const bool listed = session.listed();
    if (flags == FT_LIST_NUMBER_ONLY) {
        if (arg1 == nullptr) return FT_INVALID_PARAMETER;
        *static_cast<uint32_t*>(arg1) = listed ? 1 : 0;
        return FT_OK;
    }
    if (flags == (FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER)) {
        if (arg2 == nullptr) return FT_INVALID_PARAMETER;
        if (!listed || reinterpret_cast<uintptr_t>(arg1) != 0) return FT_DEVICE_NOT_FOUND;
        char* serial = static_cast<char*>(arg2);
        const size_t length = strnlen(model.serialNumber, sizeof model.serialNumber - 1);
        std::memcpy(serial, model.serialNumber, length);
        serial[length] = '\0';
        return FT_OK;
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS VirtualBoard::FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
    session.update();
    if (arg == nullptr || handle == nullptr || flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_INVALID_PARAMETER;
    BoardSession::Link link = 0;
    switch (session.open(static_cast<const char*>(arg), link)) {
    case LinkOpen::Opened:
        *handle = reinterpret_cast<FT_HANDLE>(static_cast<uintptr_t>(link));
        return FT_OK;
    case LinkOpen::NotFound: return FT_DEVICE_NOT_FOUND;
    case LinkOpen::Refused: break;
    }
    return FT_DEVICE_NOT_OPENED;
}

FT_STATUS VirtualBoard::FT_SetChars(FT_HANDLE handle, unsigned char, unsigned char, unsigned char, unsigned char) {
    return handleStatus(handle);
}

FT_STATUS VirtualBoard::FT_SetTimeouts(FT_HANDLE handle, uint32_t, uint32_t) { return handleStatus(handle); }

FT_STATUS VirtualBoard::FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) {
    if (const FT_STATUS status = handleStatus(handle); status != FT_OK) return status;
    if (rxBytes == nullptr || txBytes == nullptr || eventStatus == nullptr) return FT_INVALID_PARAMETER;
    size_t queued = 0;
    const LinkCall result = session.status(linkOf(handle), queued);
    if (result != LinkCall::Done) return statusOf(result);
    *rxBytes = static_cast<uint32_t>(queued);
    *txBytes = 0;
    *eventStatus = 0;
    return FT_OK;
}

FT_STATUS VirtualBoard::FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) {
    if (const FT_STATUS status = handleStatus(handle); status != FT_OK) return status;
    if (buffer == nullptr || bytesReturned == nullptr) return FT_INVALID_PARAMETER;
    // Virtual time does not pass inside a call: a short read returns at once with what is queued.
    size_t count = 0;
    const LinkCall result = session.read(linkOf(handle), static_cast<unsigned char*>(buffer), bytesToRead, count);
    if (result != LinkCall::Done) return statusOf(result);
    *bytesReturned = static_cast<uint32_t>(count);
    return FT_OK;
}

FT_STATUS VirtualBoard::FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) {
    if (const FT_STATUS status = handleStatus(handle); status != FT_OK) return status;
    if (buffer == nullptr || bytesWritten == nullptr) return FT_INVALID_PARAMETER;
    const LinkCall result = session.write(linkOf(handle), static_cast<const unsigned char*>(buffer), bytesToWrite);
    if (result != LinkCall::Done) return statusOf(result);
    *bytesWritten = bytesToWrite;
    return FT_OK;
}

FT_STATUS VirtualBoard::FT_Close(FT_HANDLE handle) {
    return session.close(linkOf(handle)) ? FT_OK : FT_INVALID_HANDLE;
}

}  // namespace kt57
