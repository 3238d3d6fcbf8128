// A console drawing on a text canvas, with Ctrl and Shift under the test's control.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "console/console_state.h"
#include "console/modifier_keys.h"
#include "console/text_canvas.h"
#include "console/text_context.h"
#include "sequencer/program_store.h"
#include "sequencer/run_control.h"

namespace kt57 {

class HeldKeys : public ModifierKeys {
public:
    bool control = false;
    bool shift = false;
    int reads = 0;
    bool controlHeld() override {
        ++reads;
        return control;
    }
    bool shiftHeld() override {
        ++reads;
        return shift;
    }
};

// lineCount lines "CMD<n>" padded to 11 columns; line i carries label labels[i] when given.
inline std::unique_ptr<ProgramStore> makeProgram(int lineCount, std::initializer_list<int> labels = {}) {
    auto store = std::make_unique<ProgramStore>();
    std::memset(store.get(), 0, sizeof(ProgramStore));
    store->lineCount = lineCount;
    for (int index = 0; index < lineCount && index < maxProgramLines; ++index) {
        std::snprintf(store->lines[index].text, sizeof store->lines[index].text, "%-11.11s", ("CMD" + std::to_string(index + 1)).c_str());
        store->lines[index].target = -1;
        store->lines[index].operand = -1;
    }
    int index = 0;
    for (int label : labels) store->lines[index++].label = label;
    return store;
}

class ConsoleFixture : public testing::Test {
protected:
    ConsoleFixture() {
        console.surface = &canvas;
        console.modifiers = &keys;
        openTextContext(console, 0);
    }
    // The run control of a program of lineCount lines as start-up leaves it in mode 'A'.
    static RunControl startedRun(int lineCount) {
        RunControl run;
        run.breakLine = lineCount;
        return run;
    }
    TextCanvas canvas;
    HeldKeys keys;
    ConsoleState console;
};

}  // namespace kt57
