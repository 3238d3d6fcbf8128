// The board's fault switches. Each can be thrown at any moment and is tested by every call.
#pragma once
#include <cstdint>

namespace kt57 {

// The driver calls a switch can make fail.
enum class FailingCall : uint8_t { Open, Write, Status, Read };

struct BoardFaults {
    bool unplugged = false;   // not listed, opens fail, calls on an open handle fail
    bool openFails = false;   // listed, but FT_OpenEx fails
    bool writeFails = false;
    bool statusFails = false;
    bool readFails = false;

    bool operator==(const BoardFaults&) const = default;

    bool& fails(FailingCall call) {
        switch (call) {
        case FailingCall::Open: return openFails;
        case FailingCall::Write: return writeFails;
        case FailingCall::Status: return statusFails;
        case FailingCall::Read: break;
        }
        return readFails;
    }
};

}  // namespace kt57
