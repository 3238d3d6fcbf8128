#include "common/control_protocol.h"

namespace kt57 {
namespace {

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
    ShellEvent typed;
    if (argument == "enter") {
        typed = ShellEvent::enter();
    } else if (argument == "esc") {
        typed = ShellEvent::escape();
    } else if (argument.size() == 1 && argument[0] > ' ' && argument[0] < 0x7F) {
        typed = ShellEvent::typed(static_cast<unsigned char>(argument[0]));
    } else {
        return "key takes one printable character, enter or esc";
    }
    request = {ControlAction::Deliver, typed};
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
    request = {ControlAction::Deliver, ShellEvent::menu(static_cast<uint16_t>(command))};
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
            request = {ControlAction::Deliver, ShellEvent::posted(static_cast<unsigned char>(argument[0]))};
            return nullptr;
        }
        return "post takes A or P";
    }
    if (verb == "key") return parseKey(argument, request);
    if (verb == "menu") return parseMenu(argument, request);
    if (verb == "close") {
        if (!argument.empty() || line.size() != verb.size()) return "close takes no argument";
        request = {ControlAction::Close, {}};
        return nullptr;
    }
    if (verb == "state") {
        if (!argument.empty() || line.size() != verb.size()) return "state takes no argument";
        request = {ControlAction::State, {}};
        return nullptr;
    }
    return "unknown request";
}

}  // namespace kt57
