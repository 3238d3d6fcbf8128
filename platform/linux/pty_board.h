// The one board model served on a pseudo-terminal and registered under its serial number, so a
// TtyDriver lists and opens it exactly as it would a real board. The host (kt57-board's headless
// loop or panel, or a test) waits on descriptor() and calls service() when it is readable or when
// millisecondsUntilDue() has passed.
#pragma once
#include <cstddef>
#include <cstdint>

#include "device/board_model.h"
#include "platform/linux/board_locations.h"

namespace kt57 {

enum class BoardEventKind {
    Command,    // a 9-byte frame from the sequencer
    Discarded,  // bytes ended by a CR before they made a frame
    Silent,     // the model gave no reply to the last command
    Reply,      // a reply sent to the sequencer
    Injected,   // raw bytes pushed at the sequencer by hand
    Plugged,
    Unplugged,
};

struct BoardEvent {
    BoardEventKind kind;
    int64_t timeMilliseconds;
    const unsigned char* bytes;
    size_t size;
};

class BoardEventSink {
public:
    virtual ~BoardEventSink() = default;
    virtual void boardEvent(const BoardEvent& event) = 0;
};

int64_t monotonicMilliseconds();

class PtyBoard {
public:
    static constexpr int pendingCapacity = 16;  // replies on their way; one beyond it is lost

    explicit PtyBoard(const char* registryDirectory);
    ~PtyBoard();  // unplugs
    PtyBoard(const PtyBoard&) = delete;
    PtyBoard& operator=(const PtyBoard&) = delete;

    BoardModel model;
    int latencyMilliseconds = 1;
    BoardEventSink* events = nullptr;

    // Opens a pseudo-terminal for the board and registers it. On failure writes one line to error
    // (another live process serving this serial number, no pseudo-terminal, unwritable registry).
    bool plug(int64_t nowMilliseconds, char* error, size_t errorCapacity);
    // Hangs the terminal up, as pulling the cable would, and withdraws the registration.
    void unplug(int64_t nowMilliseconds);
    bool isPlugged() const { return master_ >= 0; }

    int descriptor() const { return master_; }
    const char* devicePath() const { return devicePath_; }
    const char* registryDirectory() const { return registryDirectory_; }

    // Takes what the sequencer wrote and sends the replies now due.
    void service(int64_t nowMilliseconds);
    // Time until the next reply is due; -1 when none is pending.
    int millisecondsUntilDue(int64_t nowMilliseconds) const;
    // Pushes raw bytes at the sequencer at once; dropped while unplugged.
    void inject(const unsigned char* bytes, size_t size, int64_t nowMilliseconds);

private:
    struct PendingReply {
        bool used = false;
        int64_t dueMilliseconds = 0;
        uint64_t order = 0;
        unsigned char bytes[9] = {};
    };

    void report(BoardEventKind kind, int64_t time, const unsigned char* bytes, size_t size);
    void takeByte(unsigned char byte, int64_t now);
    void sendDueReplies(int64_t now);
    void writeToSequencer(const unsigned char* bytes, size_t size);

    char registryDirectory_[boardPathCapacity] = {};
    char devicePath_[boardPathCapacity] = {};
    char registeredSerial_[9] = {};
    int master_ = -1;
    int slaveKeeper_ = -1;  // keeps the terminal alive between the sequencer's opens
    unsigned char command_[9] = {};
    size_t commandSize_ = 0;
    PendingReply pending_[pendingCapacity];
    uint64_t nextOrder_ = 0;
};

}  // namespace kt57
