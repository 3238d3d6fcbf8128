// Request lines of kt57-ctl's socket protocol into the parser that kt57d uses. The grammar is
// small enough to list, so exactly its lines are accepted, each as the event it names.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/control_protocol.h"
#include "fuzz/fuzz_check.h"

namespace {

bool isMenuNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 5) return false;
    uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value <= 0xFFFF;
}

// The request the line names, or false when the protocol has no such line.
bool expectedRequest(std::string_view line, kt57::ControlRequest& request) {
    using kt57::ControlAction;
    using kt57::ShellEvent;
    if (line == "close") {
        request = {ControlAction::Close, {}};
        return true;
    }
    if (line == "state") {
        request = {ControlAction::State, {}};
        return true;
    }
    if (line == "post A" || line == "post P") {
        request = {ControlAction::Deliver, ShellEvent::posted(static_cast<unsigned char>(line[5]))};
        return true;
    }
    if (line.substr(0, 4) == "key ") {
        const std::string_view key = line.substr(4);
        uint32_t code = 0;
        if (key == "enter") code = 13;
        else if (key == "esc") code = 27;
        else if (key.size() == 1 && key[0] > ' ' && key[0] < 0x7F) code = static_cast<unsigned char>(key[0]);
        else return false;
        request = {ControlAction::Deliver, ShellEvent::typed(code)};
        return true;
    }
    if (line.substr(0, 5) == "menu " && isMenuNumber(line.substr(5))) {
        uint32_t command = 0;
        for (char c : line.substr(5)) command = command * 10 + static_cast<uint32_t>(c - '0');
        request = {ControlAction::Deliver, ShellEvent::menu(static_cast<uint16_t>(command))};
        return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A stream of lines, as a client writes them.
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);

        kt57::ControlRequest parsed;
        const char* refusal = kt57::parseControlRequest(line, parsed);
        kt57::ControlRequest expected;
        const bool valid = expectedRequest(line, expected);
        if (!valid) {
            KT57_FUZZ_CHECK(refusal != nullptr && refusal[0] != '\0' && std::strchr(refusal, '\n') == nullptr);
            continue;
        }
        KT57_FUZZ_CHECK(refusal == nullptr);
        KT57_FUZZ_CHECK(line.size() <= static_cast<size_t>(kt57::maxControlRequestLength));
        KT57_FUZZ_CHECK(parsed.action == expected.action && parsed.event == expected.event);
    }
    return 0;
}
