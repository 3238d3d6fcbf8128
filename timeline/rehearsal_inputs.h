// What a rehearsal is made of: the program folder's two files, the scripted events, the virtual
// board's serial number and how far it runs. The same inputs always give the same rehearsal.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "device/board_protocol.h"
#include "platform/headless/headless_event.h"

namespace kt57 {

// One of the folder's files: absent, or its bytes.
struct RehearsalFile {
    bool present = false;
    std::string bytes;

    static RehearsalFile of(std::string bytes) { return RehearsalFile{true, std::move(bytes)}; }
};

struct RehearsalInputs {
    RehearsalFile program;  // KT57Data.txt
    RehearsalFile mode;     // KT57Mode.txt
    std::vector<HeadlessEvent> events;
    std::string boardSerial = defaultVirtualSerialNumber;
    int64_t until = 60000;  // the last virtual millisecond, inclusive
};

// Writes the two files (those there are) into directory, removing any left there before, so that
// a run started on it reads exactly the inputs. False with error set when a file cannot be written.
bool writeRehearsalFolder(const RehearsalInputs& inputs, const std::string& directory, std::string& error);

}  // namespace kt57
