// Where boards are found on Linux: udev's by-id links for real boards, and the per-user registry
// in which each kt57-board process announces the pseudo-terminal it serves.
#pragma once
#include <cstddef>

namespace kt57 {

constexpr size_t boardPathCapacity = 256;

struct BoardLocations {
    char byIdDirectory[boardPathCapacity] = "/dev/serial/by-id";
    char registryDirectory[boardPathCapacity] = {};
};

// $XDG_RUNTIME_DIR/kt57d/boards, or /tmp/kt57d-<uid>/boards when XDG_RUNTIME_DIR is unset or not
// absolute. Returns false when the path does not fit.
bool registryDirectoryFromEnvironment(char* directory, size_t capacity);

// The real locations: /dev/serial/by-id and the registry named by the environment.
BoardLocations defaultBoardLocations();

// Creates the registry directory and its parents for the current user (mode 0700).
// Returns false when it cannot be created or is not private (see isPrivateDirectory).
bool createRegistryDirectory(const char* directory);

// True when directory and its parent belong to the current user (or root) and nobody else may
// write to them: only then are the registrations in it trusted to name our own terminals.
bool isPrivateDirectory(const char* directory);

}  // namespace kt57
