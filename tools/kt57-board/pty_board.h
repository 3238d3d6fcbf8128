// The virtual board served on a pseudo-terminal and registered under its serial number, so a
// TtyDriver lists and opens it exactly as it would a real board: a thin part over the board
// session, whose cable is the terminal. Plugging in opens and registers a terminal; unplugging hangs
// it up. The host (kt57-board's headless loop or panel, or a test) waits on descriptor() and calls
// service() when it is readable, when millisecondsUntilDue() has passed, and after it changed the
// session.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/board_session.h"
#include "device/board_protocol.h"
#include "platform/linux/board_locations.h"

namespace kt57 {

class PtyBoard : private BoardCable {
public:
    PtyBoard(const char* registryDirectory, Clock& clock);
    ~PtyBoard() override;  // unplugs
    PtyBoard(const PtyBoard&) = delete;
    PtyBoard& operator=(const PtyBoard&) = delete;

    BoardSession session;
    BoardModel& model = session.model;

    // On failure writes one line to error (another live process serving this serial number, no
    // pseudo-terminal, unwritable registry) and the board stays unplugged.
    bool plug(char* error, size_t errorCapacity) { return session.plug(error, errorCapacity); }
    void unplug() { session.unplug(); }
    bool isPlugged() const { return master_ >= 0; }

    int descriptor() const { return master_; }
    const char* devicePath() const { return devicePath_; }
    const char* registryDirectory() const { return registryDirectory_; }

    // Gives the session what the sequencer wrote and sends the sequencer what the session has
    // for it: due replies and injected bytes.
    void service();
    // How long the host may wait before it calls service() again: the time until the next reply
    // is due, 0 when one is due now, -1 when none is on its way.
    int millisecondsUntilDue() const { return session.millisecondsUntilDue(); }
    // Bytes read from the terminal since the start, whether the session took them or not.
    uint64_t bytesRead() const { return bytesRead_; }
    // Bytes written to the terminal since the start.
    uint64_t bytesSent() const { return bytesSent_; }

private:
    bool connectCable(char* error, size_t errorCapacity) override;
    void disconnectCable() override;
    void holdOpenLock();
    void writeToSequencer(const unsigned char* bytes, size_t size);

    char registryDirectory_[boardPathCapacity] = {};
    char devicePath_[boardPathCapacity] = {};
    char registeredSerial_[serialNumberCapacity] = {};
    int master_ = -1;
    int slaveKeeper_ = -1;  // keeps the terminal alive between the sequencer's opens
    bool openLocked_ = false;
    uint64_t bytesRead_ = 0;
    uint64_t bytesSent_ = 0;
};

}  // namespace kt57
