#include "tools/kt57-run/events_writer.h"

#include <cinttypes>
#include <cstdio>

#include "board/pin_name.h"
#include "console/operator_keys.h"
#include "device/byte_escapes.h"

namespace kt57 {
namespace {

const char* callName(FailingCall call) {
    switch (call) {
        case FailingCall::Open: return "open";
        case FailingCall::Write: return "write";
        case FailingCall::Status: return "status";
        case FailingCall::Read: break;
    }
    return "read";
}

// A key as its shortest word: a printable character stands for itself, except '#', which would
// begin a comment.
std::string keyWord(uint32_t code) {
    if (code == characterEnter) return "enter";
    if (code == characterEscape) return "esc";
    if (code > 0x20 && code < 0x7F && code != '#') return std::string(1, static_cast<char>(code));
    return "code " + std::to_string(code);
}

// inject's bytes as one word: escaped as a trace frame, and a blank or a leading '#' escaped too,
// since either would end the word.
std::string injectWord(const std::string& bytes) {
    std::string word;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ' || (byte == '#' && word.empty())) {
            char text[8];
            std::snprintf(text, sizeof text, "\\x%02X", byte);
            word += text;
            continue;
        }
        char text[escapedByteLength];
        word.append(text, escapeByte(byte, text));
    }
    return word;
}

std::string clickLine(const HeadlessEvent& event) {
    std::string line = (event.kind == HeadlessEventKind::DoubleClick ? "dblclick " : "click ") +
                       std::to_string(event.x) + " " + std::to_string(event.y);
    if (event.control) line += " ctrl";
    if (event.shift) line += " shift";
    return line;
}

std::string boardLine(const BoardControl& control) {
    switch (control.kind) {
        case BoardControlKind::Fail: return std::string("fail ") + callName(control.call);
        case BoardControlKind::Heal: return std::string("heal ") + callName(control.call);
        case BoardControlKind::Serial: return std::string("serial ") + control.serialNumber;
        default: return "";
    }
}

std::string eventWords(const HeadlessEvent& event) {
    switch (event.kind) {
        case HeadlessEventKind::Key: return "key " + keyWord(event.code);
        case HeadlessEventKind::Post: return std::string("post ") + static_cast<char>(event.code);
        case HeadlessEventKind::Click:
        case HeadlessEventKind::DoubleClick: return clickLine(event);
        case HeadlessEventKind::Paint: return "paint";
        case HeadlessEventKind::Menu: return "menu " + std::to_string(event.code);
        case HeadlessEventKind::Close: return "close";
        case HeadlessEventKind::Input: return "input " + pinsValueText(event.code);
        case HeadlessEventKind::Latency: return "latency " + std::to_string(event.code);
        case HeadlessEventKind::Unplug: return "unplug";
        case HeadlessEventKind::Plug: return "plug";
        case HeadlessEventKind::Mute: return "mute";
        case HeadlessEventKind::Unmute: return "unmute";
        case HeadlessEventKind::Inject: return "inject " + injectWord(event.bytes);
        case HeadlessEventKind::Board: return boardLine(event.board);
        case HeadlessEventKind::Screen: return "screen";
        case HeadlessEventKind::State: return "state";
    }
    return "";
}

}  // namespace

std::string eventLine(const HeadlessEvent& event) { return std::to_string(event.at) + " " + eventWords(event); }

}  // namespace kt57
