// What a board session reports as it happens, for logs, panels and a waveform recorder.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kt57 {

enum class BoardEventKind : uint8_t {
    Command,         // a 9-byte frame taken from the sequencer (bytes)
    Silent,          // the model gave no reply to that frame
    ReplyQueued,     // a reply built and on its way (bytes)
    ReplyDelivered,  // a reply entered the receive queue (bytes)
    Injected,        // raw bytes pushed into the receive queue (bytes)
    Plugged,
    Unplugged,
    Outputs,         // a 'W' command was taken: the 24 outputs now (value)
    Inputs,          // the 24 inputs were set (value)
};

struct BoardEvent {
    BoardEventKind kind;
    int64_t timeMilliseconds;
    const unsigned char* bytes;
    size_t size;
    uint32_t value;
};

class BoardEventSink {
public:
    virtual ~BoardEventSink() = default;
    virtual void boardEvent(const BoardEvent& event) = 0;
};

}  // namespace kt57
