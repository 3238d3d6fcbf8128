#include "platform/linux/board_listing.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/linux/board_registry.h"

namespace kt57 {

namespace {

bool copyText(char* target, size_t capacity, const char* text, size_t length) {
    if (length >= capacity) return false;
    std::memcpy(target, text, length);
    target[length] = '\0';
    return true;
}

// A tty whose kernel driver is known and is not ftdi_sio is some other USB serial device
// (a modem, a microcontroller); the vendor library would not list it either. Terminals without
// a device behind them (pseudo-terminals) are accepted.
bool isFtdiOrDeviceless(const char* devicePath) {
    struct stat info {};
    if (stat(devicePath, &info) != 0 || !S_ISCHR(info.st_mode)) return false;
    char driverLink[96];
    std::snprintf(driverLink, sizeof driverLink, "/sys/dev/char/%u:%u/device/driver", major(info.st_rdev),
                  minor(info.st_rdev));
    char target[boardPathCapacity];
    const ssize_t length = readlink(driverLink, target, sizeof target - 1);
    if (length <= 0) return true;
    target[length] = '\0';
    const char* name = std::strrchr(target, '/');
    name = name == nullptr ? target : name + 1;
    return std::strcmp(name, "ftdi_sio") == 0;
}

bool hasSerial(const BoardListing& listing, const char* serialNumber) {
    return findListedBoard(listing, serialNumber) != nullptr;
}

void append(BoardListing& listing, const char* serialNumber, const char* devicePath, bool isVirtual) {
    if (listing.count >= maxListedBoards || hasSerial(listing, serialNumber)) return;
    ListedBoard& board = listing.boards[listing.count];
    if (!copyText(board.serialNumber, sizeof board.serialNumber, serialNumber, std::strlen(serialNumber)) ||
        !copyText(board.devicePath, sizeof board.devicePath, devicePath, std::strlen(devicePath))) {
        return;
    }
    board.isVirtual = isVirtual;
    ++listing.count;
}

// Insertion sort of [first, count) by serial number: a handful of entries, no allocation.
void sortBySerial(BoardListing& listing, int first) {
    for (int i = first + 1; i < listing.count; ++i) {
        ListedBoard moving = listing.boards[i];
        int j = i;
        while (j > first && std::strcmp(listing.boards[j - 1].serialNumber, moving.serialNumber) > 0) {
            listing.boards[j] = listing.boards[j - 1];
            --j;
        }
        listing.boards[j] = moving;
    }
}

void listRealBoards(const char* byIdDirectory, BoardListing& listing) {
    DIR* directory = opendir(byIdDirectory);
    if (directory == nullptr) return;
    while (const dirent* entry = readdir(directory)) {
        char serial[boardSerialCapacity];
        if (!serialFromByIdName(entry->d_name, serial, sizeof serial)) continue;
        char path[boardPathCapacity];
        const int written = std::snprintf(path, sizeof path, "%s/%s", byIdDirectory, entry->d_name);
        if (written <= 0 || static_cast<size_t>(written) >= sizeof path) continue;
        if (isFtdiOrDeviceless(path)) append(listing, serial, path, false);
    }
    closedir(directory);
}

void listVirtualBoards(const char* registryDirectory, BoardListing& listing) {
    if (!isPrivateDirectory(registryDirectory)) return;
    DIR* directory = opendir(registryDirectory);
    if (directory == nullptr) return;
    while (const dirent* entry = readdir(directory)) {
        BoardRegistration registration;
        if (!readRegistration(registryDirectory, entry->d_name, registration)) continue;
        append(listing, entry->d_name, registration.devicePath, true);
    }
    closedir(directory);
}

}  // namespace

bool serialFromByIdName(const char* name, char* serial, size_t capacity) {
    if (std::strncmp(name, "usb-", 4) != 0) return false;
    // udev names end in "-if<NN>" with an optional "-port<N>"; the serial precedes it after the last '_'.
    const char* interface = nullptr;
    for (const char* at = std::strstr(name, "-if"); at != nullptr; at = std::strstr(at + 1, "-if")) interface = at;
    if (interface == nullptr) return false;
    // A dual-channel chip lists each channel; the first is the board's own port.
    if (std::strncmp(interface, "-if00", 5) != 0 || (interface[5] != '\0' && interface[5] != '-')) return false;
    const char* start = interface;
    while (start > name + 4 && start[-1] != '_') --start;
    if (start == name + 4 || start == interface) return false;
    return copyText(serial, capacity, start, static_cast<size_t>(interface - start));
}

void listBoards(const BoardLocations& locations, BoardListing& listing) {
    listing.count = 0;
    listRealBoards(locations.byIdDirectory, listing);
    const int firstVirtual = listing.count;
    sortBySerial(listing, 0);
    listVirtualBoards(locations.registryDirectory, listing);
    sortBySerial(listing, firstVirtual);
}

const ListedBoard* findListedBoard(const BoardListing& listing, const char* serialNumber) {
    for (int i = 0; i < listing.count; ++i) {
        if (std::strcmp(listing.boards[i].serialNumber, serialNumber) == 0) return &listing.boards[i];
    }
    return nullptr;
}

}  // namespace kt57
