#include "board/board_session.h"

#include <cstring>

namespace kt57 {

namespace {

constexpr size_t frameBytes = frameLength;

size_t boundedLength(const char* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length] != '\0') ++length;
    return length;
}

}  // namespace

BoardSession::BoardSession(Clock& clock, BoardCable* cable) : clock_(clock), cable_(cable) {
    if (cable_ == nullptr) return;
    // A cable starts out of its socket: the transport plugs it in when it is ready to serve.
    faults.unplugged = true;
    traffic_.unplugApplied = true;
}

void BoardSession::report(BoardEventKind kind, const unsigned char* bytes, size_t size, uint32_t value) {
    if (events != nullptr) events->boardEvent(BoardEvent{kind, clock_.nowMilliseconds(), bytes, size, value});
}

void BoardSession::unplug() {
    faults.unplugged = true;
    update();
}

bool BoardSession::plug(char* error, size_t errorCapacity) {
    update();  // an unplug set through the switch alone still kills the link before the board returns
    if (!faults.unplugged) return true;
    faults.unplugged = false;
    return applyPlug(error, errorCapacity);
}

void BoardSession::applyUnplug() {
    // The board is gone: its link dies for good and nothing queued survives.
    traffic_.liveLink = 0;
    dropLinkState();
    traffic_.unplugApplied = true;
    if (cable_ != nullptr) cable_->disconnectCable();
    report(BoardEventKind::Unplugged);
}

bool BoardSession::applyPlug(char* error, size_t errorCapacity) {
    char ignored[8];
    if (error == nullptr || errorCapacity == 0) {
        error = ignored;
        errorCapacity = sizeof ignored;
    }
    if (cable_ != nullptr && !cable_->connectCable(error, errorCapacity)) {
        faults.unplugged = true;
        return false;
    }
    traffic_.unplugApplied = false;
    // A board plugged in again is a new device: a new link and an empty queue.
    if (cable_ != nullptr) openLink();
    report(BoardEventKind::Plugged);
    return true;
}

void BoardSession::setInputs(uint32_t inputs) {
    model.inputs = inputs & pinMask;
    report(BoardEventKind::Inputs, nullptr, 0, model.inputs);
}

void BoardSession::setSerialNumber(const char* serial) {
    std::memset(model.serialNumber, 0, sizeof model.serialNumber);
    std::memcpy(model.serialNumber, serial, boundedLength(serial, sizeof model.serialNumber - 1));
}

void BoardSession::inject(const unsigned char* bytes, size_t size) {
    update();
    if (traffic_.liveLink == 0 || bytes == nullptr || size == 0) return;
    pushReceived(bytes, size);
    report(BoardEventKind::Injected, bytes, size);
}

void BoardSession::update() {
    if (faults.unplugged && !traffic_.unplugApplied) applyUnplug();
    if (!faults.unplugged && traffic_.unplugApplied) applyPlug(nullptr, 0);
    const int64_t now = clock_.nowMilliseconds();
    for (;;) {
        PendingReply* next = nullptr;
        for (PendingReply& reply : traffic_.pending) {
            if (!reply.used || reply.dueMilliseconds > now) continue;
            if (next == nullptr || reply.dueMilliseconds < next->dueMilliseconds ||
                (reply.dueMilliseconds == next->dueMilliseconds && reply.order < next->order))
                next = &reply;
        }
        if (next == nullptr) return;
        next->used = false;
        pushReceived(next->bytes, frameBytes);
        report(BoardEventKind::ReplyDelivered, next->bytes, frameBytes);
    }
}

bool BoardSession::listed() {
    update();
    return !faults.unplugged;
}

BoardSession::Link BoardSession::openLink() {
    dropLinkState();
    traffic_.liveLink = ++traffic_.lastLink;
    return traffic_.liveLink;
}

LinkOpen BoardSession::open(const char* serial, Link& link) {
    update();
    if (faults.unplugged) return LinkOpen::NotFound;
    // Compare within a bound: the caller's serial need not be shorter than ours.
    const size_t length = boundedLength(model.serialNumber, sizeof model.serialNumber - 1);
    if (std::strncmp(serial, model.serialNumber, length) != 0 || serial[length] != '\0') return LinkOpen::NotFound;
    // A device serves one link at a time, like the real driver.
    if (faults.openFails || traffic_.liveLink != 0) return LinkOpen::Refused;
    link = openLink();
    return LinkOpen::Opened;
}

bool BoardSession::close(Link link) {
    update();
    if (!isLive(link)) return false;
    traffic_.liveLink = 0;
    dropLinkState();
    return true;
}

void BoardSession::dropLinkState() {
    traffic_.receiveHead = 0;
    traffic_.receiveSize = 0;
    for (PendingReply& reply : traffic_.pending) reply.used = false;
    traffic_.commandSize = 0;
}

void BoardSession::pushReceived(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size && traffic_.receiveSize < receiveCapacity; ++i) {
        traffic_.receive[(traffic_.receiveHead + traffic_.receiveSize) % receiveCapacity] = bytes[i];
        ++traffic_.receiveSize;
    }
}

void BoardSession::takeWrittenByte(unsigned char byte) {
    // Every 9 bytes make a frame, with no resynchronisation on CR: a frame out of step is answered
    // as whatever its 9 bytes say, which is usually nothing.
    traffic_.command[traffic_.commandSize++] = byte;
    if (traffic_.commandSize < frameBytes) return;
    traffic_.commandSize = 0;
    unsigned char reply[frameBytes];
    bool outputsSet = false;
    const bool answered = model.answerCommand(traffic_.command, reply, &outputsSet);
    report(BoardEventKind::Command, traffic_.command, frameBytes);
    if (outputsSet) report(BoardEventKind::Outputs, nullptr, 0, model.outputs);
    if (!answered) {
        report(BoardEventKind::Silent);
        return;
    }
    for (PendingReply& slot : traffic_.pending) {
        if (slot.used) continue;
        slot.used = true;
        slot.dueMilliseconds = clock_.nowMilliseconds() + (latencyMilliseconds > 0 ? latencyMilliseconds : 0);
        slot.order = traffic_.nextOrder++;
        std::memcpy(slot.bytes, reply, frameBytes);
        report(BoardEventKind::ReplyQueued, slot.bytes, frameBytes);
        return;
    }
}

LinkCall BoardSession::write(Link link, const unsigned char* bytes, size_t size) {
    update();
    if (!isLive(link)) return LinkCall::Dead;
    if (faults.writeFails) return LinkCall::Fails;
    for (size_t i = 0; i < size; ++i) takeWrittenByte(bytes[i]);
    return LinkCall::Done;
}

LinkCall BoardSession::read(Link link, unsigned char* out, size_t capacity, size_t& count) {
    update();
    count = 0;
    if (!isLive(link)) return LinkCall::Dead;
    if (faults.readFails) return LinkCall::Fails;
    while (count < capacity && traffic_.receiveSize > 0) {
        out[count++] = traffic_.receive[traffic_.receiveHead];
        traffic_.receiveHead = (traffic_.receiveHead + 1) % receiveCapacity;
        --traffic_.receiveSize;
    }
    return LinkCall::Done;
}

LinkCall BoardSession::status(Link link, size_t& queued) {
    update();
    queued = 0;
    if (!isLive(link)) return LinkCall::Dead;
    if (faults.statusFails) return LinkCall::Fails;
    queued = traffic_.receiveSize;
    return LinkCall::Done;
}

size_t BoardSession::queuedBytes() {
    update();
    return traffic_.receiveSize;
}

int BoardSession::millisecondsUntilDue() const {
    // Only asks: delivering a due reply here would leave it queued after the host's last service,
    // and a host that then waits for the next due time would hold it until some other wake-up.
    const int64_t now = clock_.nowMilliseconds();
    int64_t earliest = -1;
    for (const PendingReply& reply : traffic_.pending) {
        if (!reply.used) continue;
        const int64_t wait = reply.dueMilliseconds > now ? reply.dueMilliseconds - now : 0;
        if (earliest < 0 || wait < earliest) earliest = wait;
    }
    return static_cast<int>(earliest);
}

}  // namespace kt57
