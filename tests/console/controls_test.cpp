#include "console/controls.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "console_fixture.h"

namespace kt57 {
namespace {

constexpr int lines = 4;
constexpr KeySource typed = KeySource::Typed;
constexpr KeySource posted = KeySource::Posted;

RunControl state(char mode, int next, int stepPhase = 0, int sleepTicks = 0, char resume = 'A') {
    RunControl run;
    run.runMode = static_cast<RunMode>(mode);
    run.resumeMode = static_cast<RunMode>(resume);
    run.savedMode = RunMode::Manual;
    run.nextLine = next;
    run.currentLine = 1;
    run.continueLine = 3;
    run.breakLine = lines;
    run.stepPhase = static_cast<StepPhase>(stepPhase);
    run.sleepTicks = sleepTicks;
    run.refreshTick = 1;
    return run;
}

std::string fields(const RunControl& run) {
    return std::string("mode ") + static_cast<char>(run.runMode) + " resume " + static_cast<char>(run.resumeMode) +
           " saved " + static_cast<char>(run.savedMode) + " phase " + std::to_string(static_cast<int>(run.stepPhase)) +
           " next " + std::to_string(run.nextLine) + " current " +
           std::to_string(run.currentLine) + " continue " + std::to_string(run.continueLine) + " break " +
           std::to_string(run.breakLine) + " sleep " + std::to_string(run.sleepTicks);
}

enum class Redraw { None, Version, Markers, VersionAndMarkers, WholeListing };

class ControlsTest : public ConsoleFixture {
protected:
    // What the key left on a cleared screen: the message field, the listing markers, the whole listing.
    Redraw redrawSeen() const {
        const std::string screen = canvas.render();
        const bool version = screen.find("Ver3.2") != std::string::npos;
        const bool listing = screen.find("y=110") != std::string::npos;
        if (screen.find("CMD1") != std::string::npos) return version ? Redraw::None : Redraw::WholeListing;
        if (version && listing) return Redraw::VersionAndMarkers;
        if (version) return Redraw::Version;
        if (listing) return Redraw::Markers;
        return screen.empty() ? Redraw::None : Redraw::WholeListing;
    }
    std::unique_ptr<ProgramStore> store = makeProgram(lines);
};

TEST_F(ControlsTest, EveryKeyOfTheTable) {
    const RunControl runningA = state('A', 2, 0, 5);
    const RunControl runningM = state('M', 2);
    const RunControl runningP = state('P', 2);
    const RunControl stoppedA = state('A', lines);
    const RunControl stepWaiting = state('S', 2, 1, 3, 'P');
    const RunControl stepStopped = state('S', lines, 1);
    const struct {
        const char* name;
        RunControl before;
        uint32_t key;
        KeySource source;
        int detailView;
        std::function<void(RunControl&)> change;
        Redraw redraw;
    } cases[] = {
        {"Enter, step waiting", stepWaiting, 13, typed, 1, [](RunControl& r) { r.stepPhase = StepPhase::Granted; r.sleepTicks = 0; }, Redraw::None},
        {"Enter, step granted", state('S', 2, 2, 4), 13, typed, 1, [](RunControl& r) { r.sleepTicks = 0; }, Redraw::None},
        {"Enter, running A", runningA, 13, typed, 1, [](RunControl& r) { r.sleepTicks = 0; }, Redraw::None},
        {"Enter, stopped A", state('A', lines, 1, 0), 13, typed, 1, [](RunControl&) {}, Redraw::None},
        {"Esc, running A", runningA, 27, typed, 0, [](RunControl& r) { r.runMode = RunMode::Step; r.stepPhase = StepPhase::WaitingForEnter; r.sleepTicks = 0; }, Redraw::WholeListing},
        {"Esc, running M", runningM, 27, typed, 1, [](RunControl& r) { r.runMode = RunMode::Step; r.stepPhase = StepPhase::WaitingForEnter; }, Redraw::WholeListing},
        {"Esc, stopped A", stoppedA, 27, typed, 0, [](RunControl& r) { r.runMode = RunMode::Step; r.stepPhase = StepPhase::WaitingForEnter; }, Redraw::WholeListing},
        {"Esc, step to resume P", stepWaiting, 27, typed, 1, [](RunControl& r) { r.runMode = RunMode::Posted; r.stepPhase = StepPhase::None; r.sleepTicks = 0; }, Redraw::None},
        {"Esc, step to resume A", stepStopped, 27, typed, 1, [](RunControl& r) { r.runMode = RunMode::Automatic; r.stepPhase = StepPhase::None; }, Redraw::None},
        {"posted A, running P", runningP, 'A', posted, 1, [](RunControl& r) { r.runMode = RunMode::Automatic; }, Redraw::None},
        {"posted A, running M", state('M', 2, 0, 0, 'P'), 'A', posted, 1, [](RunControl& r) { r.resumeMode = RunMode::Automatic; }, Redraw::None},
        {"posted A, step", stepWaiting, 'A', posted, 1, [](RunControl& r) { r.resumeMode = RunMode::Automatic; }, Redraw::None},
        {"typed A", runningP, 'A', typed, 1, [](RunControl&) {}, Redraw::None},
        {"posted a", runningP, 'a', posted, 1, [](RunControl&) {}, Redraw::None},
        {"posted P, running A", runningA, 'P', posted, 1, [](RunControl& r) { r.runMode = RunMode::Posted; r.resumeMode = RunMode::Posted; }, Redraw::None},
        {"posted P, running M", runningM, 'P', posted, 1, [](RunControl& r) { r.runMode = RunMode::Posted; r.resumeMode = RunMode::Posted; }, Redraw::None},
        {"posted P, stopped A", stoppedA, 'P', posted, 1, [](RunControl& r) { r.runMode = RunMode::Posted; r.resumeMode = RunMode::Posted; }, Redraw::None},
        {"posted P, step", state('S', 2, 1, 3, 'A'), 'P', posted, 1, [](RunControl&) {}, Redraw::None},
        {"typed P", runningA, 'P', typed, 1, [](RunControl&) {}, Redraw::None},
        {"posted p", runningA, 'p', posted, 1, [](RunControl&) {}, Redraw::None},
        {"C, stopped", stoppedA, 'C', typed, 1, [](RunControl& r) { r.nextLine = 3; }, Redraw::VersionAndMarkers},
        {"c, running", runningA, 'c', typed, 1, [](RunControl& r) { r.nextLine = 3; }, Redraw::VersionAndMarkers},
        {"C, no continue line stops", [] { RunControl r = state('A', 2); r.continueLine = lines; return r; }(), 'C', typed, 1,
         [](RunControl& r) { r.nextLine = lines; }, Redraw::VersionAndMarkers},
        {"C, listing hidden", stoppedA, 'C', typed, 0, [](RunControl& r) { r.nextLine = 3; }, Redraw::Version},
        {"G, stopped A", stoppedA, 'G', typed, 1, [](RunControl& r) { r.nextLine = 0; }, Redraw::Version},
        {"g, stopped step", stepStopped, 'g', typed, 1, [](RunControl& r) { r.nextLine = 0; r.stepPhase = StepPhase::None; }, Redraw::Version},
        {"G, running", runningA, 'G', typed, 1, [](RunControl&) {}, Redraw::None},
        {"G, running step", stepWaiting, 'G', typed, 1, [](RunControl&) {}, Redraw::None},
        {"S, running A", runningA, 'S', typed, 1, [](RunControl& r) { r.nextLine = lines; r.sleepTicks = 0; }, Redraw::Markers},
        {"s, step waiting", stepWaiting, 's', typed, 1, [](RunControl& r) { r.nextLine = lines; r.sleepTicks = 0; }, Redraw::Markers},
        {"S, stopped", stoppedA, 'S', typed, 1, [](RunControl&) {}, Redraw::Markers},
        {"S, listing hidden", runningA, 'S', typed, 0, [](RunControl& r) { r.nextLine = lines; r.sleepTicks = 0; }, Redraw::None},
        {"x", runningA, 'x', typed, 1, [](RunControl&) {}, Redraw::None},
        {"line feed", runningA, 10, typed, 1, [](RunControl&) {}, Redraw::None},
        {"code beyond a byte", runningA, 0x143, typed, 1, [](RunControl&) {}, Redraw::None},
    };
    for (const auto& c : cases) {
        canvas.clear();
        console.detailView = c.detailView;
        console.listingDirty = 0;
        RunControl run = c.before;
        RunControl expected = c.before;
        c.change(expected);
        handleKey(console, *store, run, c.key, c.source);
        EXPECT_EQ(fields(run), fields(expected)) << c.name;
        EXPECT_EQ(redrawSeen(), c.redraw) << c.name << "\n" << canvas.render();
        EXPECT_EQ(console.listingDirty, 0) << c.name;
    }
}

TEST_F(ControlsTest, NoKeyTouchesTheSavedModeOrTheMarkedLines) {
    console.detailView = 1;
    for (const RunControl& before : {state('A', 2, 0, 5), state('M', lines), state('P', 1), state('S', 2, 1, 3, 'P'), state('S', lines, 2)}) {
        for (uint32_t key : {13u, 27u, 65u, 97u, 80u, 112u, 67u, 99u, 71u, 103u, 83u, 115u, 120u}) {
            for (KeySource source : {typed, posted}) {
                RunControl run = before;
                handleKey(console, *store, run, key, source);
                EXPECT_EQ(run.savedMode, before.savedMode) << key;
                EXPECT_EQ(run.currentLine, before.currentLine) << key;
                EXPECT_EQ(run.continueLine, before.continueLine) << key;
                EXPECT_EQ(run.breakLine, before.breakLine) << key;
                EXPECT_TRUE(run.runMode == RunMode::Automatic || run.runMode == RunMode::Manual || run.runMode == RunMode::Posted || run.runMode == RunMode::Step) << key;
            }
        }
    }
}

TEST_F(ControlsTest, GDoesNothingWithoutAProgram) {
    auto empty = makeProgram(0);
    RunControl run = state('A', 0);
    run.continueLine = run.breakLine = run.currentLine = 0;
    handleKey(console, *empty, run, 'G', typed);
    EXPECT_EQ(canvas.render(), "");
    EXPECT_EQ(run.nextLine, 0);
    EXPECT_EQ(run.stepPhase, StepPhase::None);
}

TEST_F(ControlsTest, EscWhileStoppedThenGStartsSteppingAtTheFirstLine) {
    RunControl run = state('A', lines);
    handleKey(console, *store, run, 27, typed);
    EXPECT_EQ(run.runMode, RunMode::Step);
    EXPECT_EQ(run.stepPhase, StepPhase::WaitingForEnter);
    EXPECT_EQ(run.nextLine, lines);
    handleKey(console, *store, run, 'G', typed);
    EXPECT_EQ(run.nextLine, 0);
    EXPECT_EQ(run.stepPhase, StepPhase::None);
    EXPECT_EQ(run.runMode, RunMode::Step);
}

TEST_F(ControlsTest, ManualModeLeavesStepModeForAutomatic) {
    RunControl run = state('M', lines);
    handleKey(console, *store, run, 27, typed);
    handleKey(console, *store, run, 27, typed);
    EXPECT_EQ(run.runMode, RunMode::Automatic);
}

TEST_F(ControlsTest, ClicksSetAndClearTheBreakAndContinueLines) {
    const struct {
        const char* name;
        RunControl before;
        int detailView;
        bool control, shift;
        uint16_t x, y;
        std::function<void(RunControl&)> change;
        bool statusDrawn;
    } cases[] = {
        {"ctrl sets break", state('A', 2), 1, true, false, 20, 150, [](RunControl& r) { r.breakLine = 2; }, true},
        {"ctrl clears its own break", [] { RunControl r = state('A', 2); r.breakLine = 2; return r; }(), 1, true, false, 20, 150,
         [](RunControl& r) { r.breakLine = lines; }, true},
        {"ctrl moves the break", [] { RunControl r = state('A', 2); r.breakLine = 0; return r; }(), 1, true, false, 20, 130,
         [](RunControl& r) { r.breakLine = 1; }, true},
        {"ctrl past the last line clears", [] { RunControl r = state('A', 2); r.breakLine = 1; return r; }(), 1, true, false, 20, 600,
         [](RunControl& r) { r.breakLine = lines; }, true},
        {"ctrl and shift act as ctrl", state('A', lines), 1, true, true, 20, 110, [](RunControl& r) { r.breakLine = 0; }, true},
        {"ctrl while running", state('P', 1), 1, true, false, 20, 170, [](RunControl& r) { r.breakLine = 3; }, true},
        {"shift while stopped", state('A', lines), 1, false, true, 20, 110, [](RunControl& r) { r.continueLine = 0; }, true},
        {"shift in step mode running", state('S', 1), 1, false, true, 20, 130, [](RunControl& r) { r.continueLine = 1; }, true},
        {"shift past the last line clears", state('A', lines), 1, false, true, 300, 700,
         [](RunControl& r) { r.continueLine = lines; }, true},
        {"shift while running", state('A', 1), 1, false, true, 20, 110, [](RunControl&) {}, false},
        {"no modifier", state('A', lines), 1, false, false, 20, 110, [](RunControl&) {}, false},
        {"listing hidden", state('A', lines), 0, true, false, 20, 110, [](RunControl&) {}, false},
        {"listing hidden, step mode", state('S', lines), 0, true, false, 20, 110, [](RunControl& r) { r.breakLine = 0; }, true},
    };
    for (const auto& c : cases) {
        canvas.clear();
        console.detailView = c.detailView;
        keys.control = c.control;
        keys.shift = c.shift;
        RunControl run = c.before;
        RunControl expected = c.before;
        c.change(expected);
        handleClick(console, *store, run, c.x, c.y);
        EXPECT_EQ(fields(run), fields(expected)) << c.name;
        EXPECT_EQ(!canvas.bandText(40).empty(), c.statusDrawn) << c.name << "\n" << canvas.render();
    }
}

TEST_F(ControlsTest, ClickShowsTheNewBreakMarker) {
    console.detailView = 1;
    RunControl run = state('A', lines);
    keys.control = true;
    handleClick(console, *store, run, 20, 150);
    EXPECT_EQ(canvas.cellText(150, 1) + canvas.cellText(150, 2), " B");
}

TEST_F(ControlsTest, ControlDoubleClickLeavesTheBreakLineAsItWas) {
    console.detailView = 1;
    RunControl run = state('A', 2);
    keys.control = true;
    handleClick(console, *store, run, 20, 150);  // button down
    handleClick(console, *store, run, 20, 150);  // double click
    EXPECT_EQ(run.breakLine, lines);
}

TEST_F(ControlsTest, ModifiersAreReadWhenTheClickIsHandled) {
    console.detailView = 1;
    RunControl run = state('A', lines);
    keys.shift = true;
    handleClick(console, *store, run, 20, 130);
    EXPECT_EQ(run.continueLine, 1);
    keys.shift = false;
    keys.control = true;
    handleClick(console, *store, run, 20, 130);
    EXPECT_EQ(run.continueLine, 1);
    EXPECT_EQ(run.breakLine, 1);
}

TEST_F(ControlsTest, ClickWithoutAModifierServiceDoesNothing) {
    console.modifiers = &noModifierKeys();
    console.detailView = 1;
    RunControl run = state('A', lines);
    const std::string before = fields(run);
    handleClick(console, *store, run, 20, 130);
    EXPECT_EQ(fields(run), before);
}

}  // namespace
}  // namespace kt57
