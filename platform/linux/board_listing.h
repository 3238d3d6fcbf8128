// The boards one listing finds, in the order FT_ListDevices reports them.
// Order: real boards sorted by serial number, then virtual boards sorted by serial number;
// a serial number is listed once, a real board hiding a virtual one with the same number.
#pragma once
#include <cstddef>

#include "platform/linux/board_locations.h"

namespace kt57 {

// FTDI serial numbers hold at most 15 characters; anything longer is not a board of ours.
constexpr size_t boardSerialCapacity = 16;
constexpr int maxListedBoards = 32;

struct ListedBoard {
    char serialNumber[boardSerialCapacity] = {};
    char devicePath[boardPathCapacity] = {};
    bool isVirtual = false;
};

struct BoardListing {
    ListedBoard boards[maxListedBoards];
    int count = 0;
};

// Fills the listing from the by-id links and the registry; opens nothing, allocates nothing.
void listBoards(const BoardLocations& locations, BoardListing& listing);

// The USB serial number inside a udev by-id name such as
// "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" -> "A50285BI". False when the name carries none,
// names an interface other than the first, or the serial does not fit.
bool serialFromByIdName(const char* name, char* serial, size_t capacity);

// The listed board with this serial number, or nullptr.
const ListedBoard* findListedBoard(const BoardListing& listing, const char* serialNumber);

}  // namespace kt57
