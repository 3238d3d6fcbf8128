#include "common/control_protocol.h"

#include "console/controls.h"
#include "shell/window_messages.h"

namespace kt57 {
namespace {

constexpr uint32_t enterCode = 13;
constexpr uint32_t escapeCode = 27;

// Splits "verb argument" at the first blank; a second blank, or none, is the caller's to refuse.
bool splitWords(std::string_view line, std::string_view& verb, std::string_view& argument) {
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos) {
        verb = line;
        argument = {};
        return true;
    }
    verb = line.substr(0, blank);
    argument = line.substr(blank + 1);
    return argument.find(' ') == std::string_view::npos;
}

const char* parseKey(std::string_view argument, ControlRequest& request) {
    uint32_t code = 0;
    if (argument == "enter") {
        code = enterCode;
    } else if (argument == "esc") {
        code = escapeCode;
    } else if (argument.size() == 1 && argument[0] > ' ' && argument[0] < 0x7F) {
        code = static_cast<unsigned char>(argument[0]);
    } else {
        return "key takes one printable character, enter or esc";
    }
    request = {ControlAction::Message, messageChar, code, typedKeyLParam};
    return nullptr;
}

const char* parseMenu(std::string_view argument, ControlRequest& request) {
    if (argument.empty() || argument.size() > 5) return "menu takes a command number from 0 to 65535";
    uint32_t command = 0;
    for (const char c : argument) {
        if (c < '0' || c > '9') return "menu takes a command number from 0 to 65535";
        command = command * 10 + static_cast<uint32_t>(c - '0');
    }
    if (command > 0xFFFF) return "menu takes a command number from 0 to 65535";
    request = {ControlAction::Message, messageCommand, command, 0};
    return nullptr;
}

}  // namespace

const char* parseControlRequest(std::string_view line, ControlRequest& request) {
    if (line.size() > static_cast<size_t>(maxControlRequestLength)) return "request too long";
    std::string_view verb;
    std::string_view argument;
    if (!splitWords(line, verb, argument)) return "too many words";
    if (verb == "post") {
        if (argument == "A" || argument == "P") {
            request = {ControlAction::Message, messageChar, static_cast<uint64_t>(argument[0]), postedCommandMarker};
            return nullptr;
        }
        return "post takes A or P";
    }
    if (verb == "key") return parseKey(argument, request);
    if (verb == "menu") return parseMenu(argument, request);
    if (verb == "close") {
        if (!argument.empty() || line.size() != verb.size()) return "close takes no argument";
        request = {ControlAction::Close, 0, 0, 0};
        return nullptr;
    }
    if (verb == "state") {
        if (!argument.empty() || line.size() != verb.size()) return "state takes no argument";
        request = {ControlAction::State, 0, 0, 0};
        return nullptr;
    }
    return "unknown request";
}

}  // namespace kt57
