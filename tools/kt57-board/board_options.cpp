#include "tools/kt57-board/board_options.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "board/board_control.h"

namespace kt57 {

namespace {

constexpr CommandOption boardOptions[] = {
    {"--serial", "S", "serial number", serialNumberRule, defaultVirtualSerialNumber},
    {"--latency", "MS", "delay before each reply", latencyRule, "1"},
    {"--headless", nullptr, "no window: frames on standard output, controls on standard input", nullptr, nullptr},
    {"--vcd", "FILE", "record the outputs and inputs as a waveform (docs/waveforms.md)", nullptr, nullptr},
};

bool refuse(char* error, size_t capacity, const std::string& message) {
    std::snprintf(error, capacity, "%s", message.c_str());
    return false;
}

}  // namespace

const CommandLine boardCommandLine{
    "kt57-board", boardOptions, "",
    "Controls, on standard input with --headless or in the panel's field: input 00FF00, latency MS,\n"
    "unplug, plug, mute, unmute, fail CALL, heal CALL, serial S, inject <bytes>, help, quit\n"
    "(docs/virtual-board.md). The board registers in $XDG_RUNTIME_DIR/kt57d/boards, where kt57d\n"
    "finds it.\n"};

bool parseBoardOptions(int argc, const char* const* argv, BoardOptions& options, char* error, size_t capacity) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (isHelpOption(argument)) {
            options.help = true;
            continue;
        }
        // "--name value" or "--name=value".
        const size_t equals = argument.rfind("--", 0) == 0 ? argument.find('=') : std::string_view::npos;
        const CommandOption* option = findOption(boardCommandLine, argument.substr(0, equals));
        if (option == nullptr || (option->value == nullptr && equals != std::string_view::npos)) {
            return refuse(error, capacity, "unknown argument '" + std::string(argument) + "' (try --help)");
        }
        const std::string_view name = option->name;
        if (name == "--headless") {
            options.headless = true;
            continue;
        }
        const char* value = nullptr;
        if (equals != std::string_view::npos) {
            value = argv[i] + equals + 1;
        } else if (i + 1 < argc) {
            value = argv[++i];
        }
        if (name == "--vcd") {
            if (value == nullptr || *value == '\0') return refuse(error, capacity, "--vcd needs a file name");
            options.vcdPath = value;
        } else if (value == nullptr) {
            return refuse(error, capacity, std::string(name) + " needs a value");
        } else if (name == "--serial") {
            if (!isSerialNumber(value)) return refuse(error, capacity, badValue(*option, value));
            std::snprintf(options.serialNumber, sizeof options.serialNumber, "%s", value);
        } else if (name == "--latency") {
            uint32_t latency = 0;
            if (!parseLatency(value, std::strlen(value), latency)) return refuse(error, capacity, badValue(*option, value));
            options.latencyMilliseconds = static_cast<int>(latency);
        }
    }
    return true;
}

}  // namespace kt57
