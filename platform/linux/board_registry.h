// The registry of virtual boards: one small file per serial number in the registry directory,
// naming the pseudo-terminal that serves the board and the process that owns it. An entry whose
// process is gone, or whose pseudo-terminal has vanished, is stale and counts as absent.
#pragma once
#include <cstddef>

#include "platform/linux/board_locations.h"

namespace kt57 {

struct BoardRegistration {
    char devicePath[boardPathCapacity] = {};
    long ownerPid = 0;
};

// True for the serial numbers a virtual board may carry: 8 characters from '0' to 'Z'.
bool isVirtualSerialNumber(const char* serialNumber);

// Reads the entry of serialNumber; false when there is none, it is malformed, or it is stale.
bool readRegistration(const char* directory, const char* serialNumber, BoardRegistration& registration);

// Writes the entry atomically (a reader never sees half of it). False on any file-system failure
// and when a live entry of another process holds the serial number.
bool writeRegistration(const char* directory, const char* serialNumber, const BoardRegistration& registration);

// Removes the entry, but only while it still names ownerPid, so an exiting board never
// removes the registration of a newer one.
void removeRegistration(const char* directory, const char* serialNumber, long ownerPid);

}  // namespace kt57
