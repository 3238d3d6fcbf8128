#include "tools/kt57-board/board_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/linux/board_registry.h"

namespace kt57 {

namespace {

constexpr long longestLatency = 10000;

// "--name value" or "--name=value"; nullptr when argv[index] is another option.
const char* optionValue(int argc, const char* const* argv, int& index, const char* name, bool& missing) {
    const size_t length = std::strlen(name);
    const char* argument = argv[index];
    missing = false;
    if (std::strncmp(argument, name, length) != 0) return nullptr;
    if (argument[length] == '=') return argument + length + 1;
    if (argument[length] != '\0') return nullptr;
    if (index + 1 >= argc) {
        missing = true;
        return nullptr;
    }
    return argv[++index];
}

}  // namespace

bool parseBoardOptions(int argc, const char* const* argv, BoardOptions& options, char* error, size_t capacity) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        bool missing = false;
        if (std::strcmp(argument, "--headless") == 0) {
            options.headless = true;
        } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            options.help = true;
        } else if (const char* serial = optionValue(argc, argv, i, "--serial", missing)) {
            if (!isVirtualSerialNumber(serial)) {
                std::snprintf(error, capacity, "--serial '%s': need 8 characters from '0' to 'Z', e.g. VB000002", serial);
                return false;
            }
            std::memcpy(options.serialNumber, serial, sizeof options.serialNumber);
        } else if (missing) {
            std::snprintf(error, capacity, "--serial needs a value");
            return false;
        } else if (const char* latency = optionValue(argc, argv, i, "--latency", missing)) {
            char* end = nullptr;
            errno = 0;
            const long value = std::strtol(latency, &end, 10);
            if (errno != 0 || end == latency || *end != '\0' || value < 0 || value > longestLatency) {
                std::snprintf(error, capacity, "--latency '%s': need whole milliseconds from 0 to %ld", latency,
                              longestLatency);
                return false;
            }
            options.latencyMilliseconds = static_cast<int>(value);
        } else if (missing) {
            std::snprintf(error, capacity, "--latency needs a value");
            return false;
        } else if (const char* path = optionValue(argc, argv, i, "--vcd", missing)) {
            if (*path == '\0') {
                std::snprintf(error, capacity, "--vcd needs a file name");
                return false;
            }
            options.vcdPath = path;
        } else if (missing) {
            std::snprintf(error, capacity, "--vcd needs a file name");
            return false;
        } else {
            std::snprintf(error, capacity, "unknown argument '%s' (try --help)", argument);
            return false;
        }
    }
    return true;
}

}  // namespace kt57
