// Rehearsal inputs from fuzz bytes, shared by the targets that run programs: programs from the
// instruction set's own words, mode files, and scripted events of every kind.
#pragma once
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>

#include "board/board_faults.h"
#include "fuzz/fuzz_input.h"
#include "platform/headless/headless_event.h"
#include "shell/shell_event.h"

namespace kt57::fuzz {

// Programs from the instruction set's own words, so that loops, tests, sleeps and device
// commands are common; a raw-bytes program now and then keeps the loader's odd corners in play.
inline std::string program(FuzzInput& input) {
    if (input.range(0, 7) == 0) return input.text(600);
    static const char* const words[] = {
        "WR000001", "WR@",  "RD000000", "RD@",  "WRFFFFFF", "UX123456", "WR<100", "",     "/ note",
        "JMP ",     "POL ", "AND ",     "OR  ", "OR ",      "JNG ",     "JOK ",   "AN@ ", "OR@ ",
        "SET ",     "DEC",  "JNZ ",     "JZ  ", "JZ ",      "FST ",     "FMK ",   "FCH ", "NOP",
        "SLP ",     " ",
    };
    static const char* const sleeps[] = {"0.05", "0.1", "0.3", "1", "-1", "x", "1e9", "inf", "nan", "2147483647"};
    static const char* const operands[] = {"000000", "000001", "0000FF", "FFFFFF", "00ff00", "FF"};
    std::string text;
    const int lines = input.range(1, 40);
    for (int i = 0; i < lines && input.remaining() > 0; ++i) {
        const int label = input.range(0, 9);
        text += label == 0 ? std::string("    ") : "00" + std::to_string(label) + " ";
        const std::string word = words[input.range<size_t>(0, std::size(words) - 1)];
        text += word;
        if (word == "JMP " || word == "JNG " || word == "JOK " || word == "JNZ " || word == "JZ  " || word == "JZ ") {
            text += "00" + std::to_string(input.range(0, 9));
        } else if (word == "SET ") {
            text += std::to_string(input.range(0, 12));
        } else if (word == "SLP ") {
            text += sleeps[input.range<size_t>(0, std::size(sleeps) - 1)];
        } else if (word.size() == 4 || word == "OR ") {
            if (input.flag()) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "%06X", input.range(0, 0xFFFFFF));
                text += hex;
            } else {
                text += operands[input.range<size_t>(0, std::size(operands) - 1)];
            }
        }
        text += input.flag() ? "\n" : "\r\n";
    }
    return text;
}

// A mode file's text, or none (the folder has no mode file).
inline std::optional<std::string> modeText(FuzzInput& input) {
    static const char* const firstLines[] = {"A", "AD", "M", "MD", "S", "SD", "X"};
    static const char* const serials[] = {"VB000001", "VB000002", "", "vb000001"};
    const int choice = input.range(0, 8);
    if (choice == 8) return std::nullopt;
    std::string text = firstLines[choice % std::size(firstLines)];
    text += "\n";
    text += serials[input.range<size_t>(0, std::size(serials) - 1)];
    text += "\n";
    return text;
}

inline std::string injected(FuzzInput& input) {
    switch (input.range(0, 3)) {
        case 0: {  // a whole reply of a random type
            char frame[16];
            std::snprintf(frame, sizeof frame, "%cX%06X\r", "URWr"[input.range(0, 3)],
                          input.range(0, 0xFFFFFF));
            return frame;
        }
        case 1:
            return std::string("R0000", input.range(1, 5));  // a partial frame
        default:
            return input.text(40);
    }
}

// A driver failure switched on or off; it has no event of its own and is set between messages.
struct FaultSwitch {
    bool* which = nullptr;
    bool on = false;
};

inline HeadlessEvent event(FuzzInput& input, int64_t at, BoardFaults& faults, FaultSwitch& fault) {
    static const uint32_t keys[] = {'G', 'g', 'C', 'c', 'S', 's', 13, 27, 'A', 'P', 'M', ' ', 'x'};
    fault = {};
    switch (input.range(0, 19)) {
        case 0: case 1: case 2: case 3: {
            const uint32_t code = input.flag() ? keys[input.range<size_t>(0, std::size(keys) - 1)]
                                                      : input.any<uint8_t>();
            const bool posted = input.range(0, 3) == 0;
            return posted ? HeadlessEvent::post(at, code) : HeadlessEvent::key(at, code);
        }
        case 4: case 5: case 6: {
            // Mostly on the listing's cells; sometimes anywhere a 16-bit coordinate reaches.
            uint16_t x;
            uint16_t y;
            if (input.flag()) {
                x = static_cast<uint16_t>(10 + 200 * input.range<uint32_t>(0, 11) + input.range<uint32_t>(0, 199));
                y = static_cast<uint16_t>(110 + 20 * input.range<uint32_t>(0, 25) + input.range<uint32_t>(0, 19));
            } else {
                x = input.any<uint16_t>();
                y = input.any<uint16_t>();
            }
            return HeadlessEvent::click(at, x, y, input.flag(), input.flag(), input.range(0, 3) == 0);
        }
        case 7: return HeadlessEvent::of(at, HeadlessEventKind::Paint);
        case 8:
            return HeadlessEvent::of(at, HeadlessEventKind::Menu,
                                     input.range(0, 7) == 0 ? endProgramCommand : input.any<uint16_t>());
        case 9: return HeadlessEvent::of(at, input.range(0, 7) == 0 ? HeadlessEventKind::Close : HeadlessEventKind::Paint);
        case 10: return HeadlessEvent::of(at, HeadlessEventKind::Input, input.any<uint32_t>());
        case 11: return HeadlessEvent::of(at, HeadlessEventKind::Latency, input.range<uint32_t>(0, 1500));
        case 12: return HeadlessEvent::of(at, input.flag() ? HeadlessEventKind::Unplug : HeadlessEventKind::Plug);
        case 13: return HeadlessEvent::of(at, input.flag() ? HeadlessEventKind::Mute : HeadlessEventKind::Unmute);
        case 14: case 15: return HeadlessEvent::inject(at, injected(input));
        default: {
            fault.on = input.flag();
            bool* const switches[] = {&faults.openFails, &faults.writeFails, &faults.statusFails, &faults.readFails};
            fault.which = switches[input.range(0, 3)];
            return HeadlessEvent::of(at, HeadlessEventKind::State);
        }
    }
}

}  // namespace kt57::fuzz
