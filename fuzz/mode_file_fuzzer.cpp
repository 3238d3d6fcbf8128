// KT57Mode.txt bytes into the mode-file reader, through a real file in a private directory.
// The values read are checked against a plain reading of the same bytes, and writing them back
// and reading again must give the same start-up state.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "shell/mode_file.h"
#include "tests/support/scratch_files.h"

namespace {

std::string directory;
kt57::StandardFiles files;

struct Reading {
    kt57::RunControl run;
    kt57::ConsoleState console;
    kt57::ShellState shell;
    kt57::DeviceLink link;
};

void writeFile(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    KT57_FUZZ_CHECK(kt57::support::writeFile(directory + "/" + kt57::modeFileName, bytes));
}

void read(Reading& reading) { kt57::readModeFile(directory.c_str(), files, reading.run, reading.console, reading.shell, reading.link); }

// A line as a text-mode read of at most 99 characters gives it: CR LF is one newline, Ctrl-Z ends.
std::string nextLine(const uint8_t* data, size_t size, size_t& position) {
    std::string line;
    while (line.size() < 99 && position < size && data[position] != 0x1A) {
        char c = static_cast<char>(data[position++]);
        if (c == '\r' && position < size && data[position] == '\n') {
            c = '\n';
            ++position;
        }
        line.push_back(c);
        if (c == '\n') break;
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static const kt57::support::ScratchDirectory scratch("kt57-mode-fuzz");
    directory = scratch.path();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    writeFile(data, size);
    Reading first;
    read(first);

    size_t position = 0;
    const std::string line1 = nextLine(data, size, position);
    const std::string line2 = line1.empty() ? std::string() : nextLine(data, size, position);
    const char mode = !line1.empty() && line1[0] != '\0' && std::strchr("AMS", line1[0]) != nullptr ? line1[0] : 'A';
    const int detail = line1.size() > 1 && line1[1] == 'D' ? 1 : 0;
    bool serialAccepted = line2.size() >= 8;
    for (size_t i = 0; serialAccepted && i < 8; ++i) serialAccepted = line2[i] >= '0' && line2[i] <= 'Z';
    const std::string serial = serialAccepted ? line2.substr(0, 8) : std::string();

    KT57_FUZZ_CHECK(first.run.runMode == kt57::RunMode{mode} && first.run.savedMode == kt57::RunMode{mode});
    KT57_FUZZ_CHECK(first.console.detailView == detail && first.shell.savedDetail == detail);
    KT57_FUZZ_CHECK(std::strncmp(first.link.serialNumber, serial.c_str(), sizeof first.link.serialNumber) == 0);
    KT57_FUZZ_CHECK(first.link.serialNumber[sizeof first.link.serialNumber - 1] == '\0');

    // What the end-program command writes with the board open, read back at the next start.
    first.link.linkState = kt57::LinkState::Open;
    kt57::writeModeFile(directory.c_str(), files, first.run, first.shell, first.link, kt57::noObserver());
    Reading second;
    read(second);
    KT57_FUZZ_CHECK(second.run.runMode == kt57::RunMode{mode});
    KT57_FUZZ_CHECK(second.console.detailView == (mode == 'S' ? 0 : detail));
    KT57_FUZZ_CHECK(std::strcmp(second.link.serialNumber, first.link.serialNumber) == 0);
    return 0;
}
