// The registry of virtual boards: one small file per serial number in the registry directory,
// naming the pseudo-terminal that serves the board and the process that owns it. A process is
// named by its pid and its start time, as a pid alone is reused once its process is gone. An
// entry whose owner no longer runs with that start time, or whose pseudo-terminal has vanished,
// is stale and counts as absent.
#pragma once
#include <cstddef>

#include "platform/linux/board_locations.h"

namespace kt57 {

struct BoardRegistration {
    char devicePath[boardPathCapacity] = {};
    long ownerPid = 0;
    unsigned long long ownerStartTime = 0;  // clock ticks since boot, as /proc/<pid>/stat counts them
};

// Where start times are read; tests point the registry at a directory laid out like it.
inline constexpr char systemProcessDirectory[] = "/proc";


// The start time of the process pid while it runs; false when it does not (a zombie has ended
// too) or its stat file cannot be read or understood.
bool processStartTime(long pid, unsigned long long& startTime,
                      const char* processDirectory = systemProcessDirectory);

// Reads the entry of serialNumber; false when there is none, it is malformed, or it is stale.
bool readRegistration(const char* directory, const char* serialNumber, BoardRegistration& registration,
                      const char* processDirectory = systemProcessDirectory);

// Writes the entry atomically (a reader never sees half of it). False on any file-system failure
// and when a live entry of another process holds the serial number.
bool writeRegistration(const char* directory, const char* serialNumber, const BoardRegistration& registration,
                       const char* processDirectory = systemProcessDirectory);

// Removes the entry, but only while it still names this owner, pid and start time, so an exiting
// board never removes the registration of a newer one.
void removeRegistration(const char* directory, const char* serialNumber, long ownerPid,
                        unsigned long long ownerStartTime);

}  // namespace kt57
