// One virtual board as its transports see it: the protocol and state (BoardModel), the framing of
// written bytes, the replies on their way and the receive queue, the latency, every fault switch,
// and a report of what happens. Transport-free: the in-process driver, the pseudo-terminal server
// and the substitute FTD2XX.dll are thin parts over it. Time comes only from a Clock.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/board_cable.h"
#include "board/board_event.h"
#include "board/board_faults.h"
#include "board/board_model.h"
#include "device/board_protocol.h"
#include "device/clock.h"

namespace kt57 {

enum class LinkOpen : uint8_t { Opened, NotFound, Refused };  // Refused: openFails, or a link already open
enum class LinkCall : uint8_t { Done, Dead, Fails };          // Dead: closed, killed by an unplug, or never opened

class BoardSession {
public:
    using Link = uint64_t;  // 0 is no link; links are never reused

    static constexpr size_t receiveCapacity = 512;  // bytes beyond it are lost, as in a full device FIFO
    static constexpr int pendingCapacity = 16;       // replies on their way; a reply beyond it is lost

    // A session with a cable keeps its one link open for as long as it is plugged in.
    explicit BoardSession(Clock& clock, BoardCable* cable = nullptr);
    BoardSession(const BoardSession&) = delete;
    BoardSession& operator=(const BoardSession&) = delete;

    BoardModel model;
    BoardFaults faults;
    int latencyMilliseconds = 1;
    BoardEventSink* events = nullptr;

    // The switches acting at once. A switch set in faults directly acts at the next call.
    void unplug();  // drops everything queued; a link open now stays dead
    bool plug(char* error = nullptr, size_t errorCapacity = 0);
    void setInputs(uint32_t inputs);
    void setSerialNumber(const char* serial);  // 1 to 8 characters; later ones are cut off
    // Pushes raw bytes into the live link's receive queue, after the replies already due; dropped
    // when no link is live.
    void inject(const unsigned char* bytes, size_t size);

    // Applies the switches and moves the replies now due into the receive queue. Every call below
    // does this first.
    void update();

    bool listed();
    LinkOpen open(const char* serial, Link& link);
    bool isLive(Link link) const { return link != 0 && link == traffic_.liveLink; }
    Link liveLink() const { return traffic_.liveLink; }
    bool close(Link link);
    LinkCall write(Link link, const unsigned char* bytes, size_t size);
    LinkCall read(Link link, unsigned char* out, size_t capacity, size_t& count);
    LinkCall status(Link link, size_t& queued);

    size_t queuedBytes();
    // Time until a reply falls due, 0 when one is due now, -1 when none is on its way.
    int millisecondsUntilDue() const;
    int64_t now() { return clock_.nowMilliseconds(); }

    struct PendingReply {
        bool used = false;
        int64_t dueMilliseconds = 0;
        uint64_t order = 0;  // keeps replies due at the same moment in the order they were written
        unsigned char bytes[frameLength] = {};
        bool operator==(const PendingReply&) const = default;
    };
    // The links, the queues and the partial command: fixed-size, since the running core allocates
    // nothing.
    struct Traffic {
        Link liveLink = 0;
        Link lastLink = 0;
        bool unplugApplied = false;
        unsigned char receive[receiveCapacity] = {};
        size_t receiveHead = 0;
        size_t receiveSize = 0;
        PendingReply pending[pendingCapacity];
        uint64_t nextOrder = 0;
        unsigned char command[frameLength] = {};
        size_t commandSize = 0;
        bool operator==(const Traffic&) const = default;
    };
    // Everything about the board that changes as it runs (not the clock, the cable or the event
    // sink), so that a rehearsal can be put back to an earlier moment.
    struct State {
        BoardModel model;
        BoardFaults faults;
        int latencyMilliseconds = 1;
        Traffic traffic;
        bool operator==(const State&) const = default;
    };
    State saveState() const { return State{model, faults, latencyMilliseconds, traffic_}; }
    void restoreState(const State& state) {
        model = state.model;
        faults = state.faults;
        latencyMilliseconds = state.latencyMilliseconds;
        traffic_ = state.traffic;
    }

private:
    void applyUnplug();
    bool applyPlug(char* error, size_t errorCapacity);
    Link openLink();
    void dropLinkState();  // empties the receive queue, the pending replies and the partial command
    void pushReceived(const unsigned char* bytes, size_t size);
    void takeWrittenByte(unsigned char byte);
    void report(BoardEventKind kind, const unsigned char* bytes = nullptr, size_t size = 0, uint32_t value = 0);

    Clock& clock_;
    BoardCable* cable_;
    Traffic traffic_;
};

}  // namespace kt57
