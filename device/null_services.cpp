// The device layer's null services: a shell that lacks one still gives the core a working object.
#include "device/blocking_wait.h"
#include "device/ft_driver.h"

namespace kt57 {
namespace {

class NoWait : public BlockingWait {
public:
    void waitMilliseconds(int) override {}
};

class NoDriver : public FtDriver {
public:
    FT_STATUS FT_ListDevices(void* arg1, void*, uint32_t flags) override {
        if (flags == FT_LIST_NUMBER_ONLY && arg1 != nullptr) {
            *static_cast<uint32_t*>(arg1) = 0;
            return FT_OK;
        }
        return FT_DEVICE_NOT_FOUND;
    }
    FT_STATUS FT_OpenEx(void*, uint32_t, FT_HANDLE*) override { return FT_DEVICE_NOT_FOUND; }
    FT_STATUS FT_SetChars(FT_HANDLE, unsigned char, unsigned char, unsigned char, unsigned char) override {
        return FT_INVALID_HANDLE;
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE, uint32_t, uint32_t) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_GetStatus(FT_HANDLE, uint32_t*, uint32_t*, uint32_t*) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_Read(FT_HANDLE, void*, uint32_t, uint32_t*) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_Write(FT_HANDLE, const void*, uint32_t, uint32_t*) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_Close(FT_HANDLE) override { return FT_INVALID_HANDLE; }
};

}  // namespace

// Stateless, so one instance serves every record that has no service of its own.
BlockingWait& noBlockingWait() {
    static NoWait wait;
    return wait;
}

FtDriver& noDriver() {
    static NoDriver driver;
    return driver;
}

}  // namespace kt57
