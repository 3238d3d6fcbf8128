// The board connection and its operations. The link hands the frames it wrote and read back to
// its caller, which decides what to show and what the reply means.
#pragma once
#include <cstdint>

#include "device/blocking_wait.h"
#include "device/board_protocol.h"
#include "device/ft_driver.h"

namespace kt57 {

enum class LinkState : int32_t {
    NoBoard = -1,  // no board at start-up: nothing is ever sent
    Closed = 0,    // the next device command opens it
    Open = 1,
};

struct DeviceLink {
    FT_HANDLE handle = nullptr;
    LinkState linkState = LinkState::Closed;
    char serialNumber[16] = {};  // NUL-terminated; empty = none known
    FtDriver* driver = &noDriver();          // platform service: the eight calls
    BlockingWait* wait = &noBlockingWait();  // platform service: releaseLink's 20 ms

    bool operator==(const DeviceLink&) const = default;
};

// Open when the board is opened and configured, Closed otherwise. The caller stores it in linkState.
LinkState openLink(DeviceLink& link);
// Closes an open board, sets linkState to Closed and waits 20 ms. False when it was not open.
bool releaseLink(DeviceLink& link);
// Writes the 9-byte frame of text, with the output value in place of its last six characters
// when the third is '@'. The frame written is left in frame. The bytes written, or -1.
int sendCommand(DeviceLink& link, int32_t outputValue, const char* text, unsigned char (&frame)[frameLength]);
// 0 when no whole frame is queued, the bytes read into reply, or -1 on a driver failure.
int pollReply(DeviceLink& link, unsigned char (&reply)[frameLength]);

}  // namespace kt57
