#include "console/controls.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "console_fixture.h"

namespace kt57 {
namespace {

constexpr int lines = 4;
constexpr uint32_t typed = 0x001E0001;  // a keyboard lParam: repeat count 1, a scan code

RunControl state(char mode, int next, int stepPhase = 0, int sleepTicks = 0, char resume = 'A') {
    RunControl run;
    run.runMode = mode;
    run.resumeMode = resume;
    run.savedMode = 'M';
    run.nextLine = next;
    run.currentLine = 1;
    run.continueLine = 3;
    run.breakLine = lines;
    run.stepPhase = stepPhase;
    run.sleepTicks = sleepTicks;
    run.refreshTick = 1;
    return run;
}

std::string fields(const RunControl& run) {
    return std::string("mode ") + run.runMode + " resume " + run.resumeMode + " saved " + run.savedMode +
           " phase " + std::to_string(run.stepPhase) + " next " + std::to_string(run.nextLine) + " current " +
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
        uint32_t lParam;
        int detailView;
        std::function<void(RunControl&)> change;
        Redraw redraw;
    } cases[] = {
        {"Enter, step waiting", stepWaiting, 13, 1, 1, [](RunControl& r) { r.stepPhase = 2; r.sleepTicks = 0; }, Redraw::None},
        {"Enter, step granted", state('S', 2, 2, 4), 13, 1, 1, [](RunControl& r) { r.sleepTicks = 0; }, Redraw::None},
        {"Enter, running A", runningA, 13, 1, 1, [](RunControl& r) { r.sleepTicks = 0; }, Redraw::None},
        {"Enter, stopped A", state('A', lines, 1, 0), 13, 1, 1, [](RunControl&) {}, Redraw::None},
        {"Esc, running A", runningA, 27, 1, 0, [](RunControl& r) { r.runMode = 'S'; r.stepPhase = 1; r.sleepTicks = 0; }, Redraw::WholeListing},
        {"Esc, running M", runningM, 27, 1, 1, [](RunControl& r) { r.runMode = 'S'; r.stepPhase = 1; }, Redraw::WholeListing},
        {"Esc, stopped A", stoppedA, 27, 1, 0, [](RunControl& r) { r.runMode = 'S'; r.stepPhase = 1; }, Redraw::WholeListing},
        {"Esc, step to resume P", stepWaiting, 27, 1, 1, [](RunControl& r) { r.runMode = 'P'; r.stepPhase = 0; r.sleepTicks = 0; }, Redraw::None},
        {"Esc, step to resume A", stepStopped, 27, 1, 1, [](RunControl& r) { r.runMode = 'A'; r.stepPhase = 0; }, Redraw::None},
        {"posted A, running P", runningP, 'A', postedCommandMarker, 1, [](RunControl& r) { r.runMode = 'A'; }, Redraw::None},
        {"posted A, running M", state('M', 2, 0, 0, 'P'), 'A', postedCommandMarker, 1, [](RunControl& r) { r.resumeMode = 'A'; }, Redraw::None},
        {"posted A, step", stepWaiting, 'A', postedCommandMarker, 1, [](RunControl& r) { r.resumeMode = 'A'; }, Redraw::None},
        {"typed A", runningP, 'A', typed, 1, [](RunControl&) {}, Redraw::None},
        {"posted a", runningP, 'a', postedCommandMarker, 1, [](RunControl&) {}, Redraw::None},
        {"posted P, running A", runningA, 'P', postedCommandMarker, 1, [](RunControl& r) { r.runMode = 'P'; r.resumeMode = 'P'; }, Redraw::None},
        {"posted P, running M", runningM, 'P', postedCommandMarker, 1, [](RunControl& r) { r.runMode = 'P'; r.resumeMode = 'P'; }, Redraw::None},
        {"posted P, stopped A", stoppedA, 'P', postedCommandMarker, 1, [](RunControl& r) { r.runMode = 'P'; r.resumeMode = 'P'; }, Redraw::None},
        {"posted P, step", state('S', 2, 1, 3, 'A'), 'P', postedCommandMarker, 1, [](RunControl&) {}, Redraw::None},
        {"typed P", runningA, 'P', typed, 1, [](RunControl&) {}, Redraw::None},
        {"posted p", runningA, 'p', postedCommandMarker, 1, [](RunControl&) {}, Redraw::None},
        {"C, stopped", stoppedA, 'C', typed, 1, [](RunControl& r) { r.nextLine = 3; }, Redraw::VersionAndMarkers},
        {"c, running", runningA, 'c', typed, 1, [](RunControl& r) { r.nextLine = 3; }, Redraw::VersionAndMarkers},
        {"C, no continue line stops", [] { RunControl r = state('A', 2); r.continueLine = lines; return r; }(), 'C', typed, 1,
         [](RunControl& r) { r.nextLine = lines; }, Redraw::VersionAndMarkers},
        {"C, listing hidden", stoppedA, 'C', typed, 0, [](RunControl& r) { r.nextLine = 3; }, Redraw::Version},
        {"G, stopped A", stoppedA, 'G', typed, 1, [](RunControl& r) { r.nextLine = 0; }, Redraw::Version},
        {"g, stopped step", stepStopped, 'g', typed, 1, [](RunControl& r) { r.nextLine = 0; r.stepPhase = 0; }, Redraw::Version},
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
        handleKey(console, *store, run, c.key, c.lParam);
        EXPECT_EQ(fields(run), fields(expected)) << c.name;
        EXPECT_EQ(redrawSeen(), c.redraw) << c.name << "\n" << canvas.render();
        EXPECT_EQ(console.listingDirty, 0) << c.name;
    }
}

TEST_F(ControlsTest, NoKeyTouchesTheSavedModeOrTheMarkedLines) {
    console.detailView = 1;
    for (const RunControl& before : {state('A', 2, 0, 5), state('M', lines), state('P', 1), state('S', 2, 1, 3, 'P'), state('S', lines, 2)}) {
        for (uint32_t key : {13u, 27u, 65u, 97u, 80u, 112u, 67u, 99u, 71u, 103u, 83u, 115u, 120u}) {
            for (uint32_t lParam : {typed, postedCommandMarker}) {
                RunControl run = before;
                handleKey(console, *store, run, key, lParam);
                EXPECT_EQ(run.savedMode, before.savedMode) << key;
                EXPECT_EQ(run.currentLine, before.currentLine) << key;
                EXPECT_EQ(run.continueLine, before.continueLine) << key;
                EXPECT_EQ(run.breakLine, before.breakLine) << key;
                EXPECT_TRUE(run.runMode == 'A' || run.runMode == 'M' || run.runMode == 'P' || run.runMode == 'S') << key;
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
    EXPECT_EQ(run.stepPhase, 0);
}

TEST_F(ControlsTest, EscWhileStoppedThenGStartsSteppingAtTheFirstLine) {
    RunControl run = state('A', lines);
    handleKey(console, *store, run, 27, typed);
    EXPECT_EQ(run.runMode, 'S');
    EXPECT_EQ(run.stepPhase, 1);
    EXPECT_EQ(run.nextLine, lines);
    handleKey(console, *store, run, 'G', typed);
    EXPECT_EQ(run.nextLine, 0);
    EXPECT_EQ(run.stepPhase, 0);
    EXPECT_EQ(run.runMode, 'S');
}

TEST_F(ControlsTest, ManualModeLeavesStepModeForAutomatic) {
    RunControl run = state('M', lines);
    handleKey(console, *store, run, 27, typed);
    handleKey(console, *store, run, 27, typed);
    EXPECT_EQ(run.runMode, 'A');
}

TEST_F(ControlsTest, ClicksSetAndClearTheBreakAndContinueLines) {
    const struct {
        const char* name;
        RunControl before;
        int detailView;
        bool control, shift;
        uint32_t x, y;
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
        {"upper half-word ignored", state('A', lines), 1, true, false, 0x10014, 0x2006E, [](RunControl& r) { r.breakLine = 0; }, true},
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
    console.modifiers = nullptr;
    console.detailView = 1;
    RunControl run = state('A', lines);
    const std::string before = fields(run);
    handleClick(console, *store, run, 20, 130);
    EXPECT_EQ(fields(run), before);
}

TEST(HitTest, ColumnAndRowEdges) {
    auto store = makeProgram(256);
    const struct {
        int32_t x, y;
        int32_t index;
    } cases[] = {
        {0, 110, 0},     {209, 110, 0},   {210, 110, 25},  {409, 110, 25},  {410, 110, 50},
        {10, 91, 0},     {10, 90, 0},     {10, 0, 0},      {10, 129, 0},    {10, 130, 1},
        {10, 589, 23},   {10, 590, 24},   {10, 609, 24},   {10, 610, 25},   {10, 630, 26},
        {210, 90, 24},   {210, 71, 24},   {210, 70, 23},   {410, 80, 49},   {2010, 210, 255},
        {2010, 230, 256}, {65535, 65535, 256}, {INT32_MIN, INT32_MIN, 0}, {INT32_MAX, INT32_MAX, 256},
    };
    for (const auto& c : cases) EXPECT_EQ(hitTestLine(*store, c.x, c.y), c.index) << c.x << "," << c.y;
}

TEST(HitTest, PastTheLastLineGivesLineCount) {
    auto store = makeProgram(3);
    EXPECT_EQ(hitTestLine(*store, 10, 150), 2);
    EXPECT_EQ(hitTestLine(*store, 10, 170), 3);
    EXPECT_EQ(hitTestLine(*store, 10, 690), 3);
    EXPECT_EQ(hitTestLine(*store, 210, 110), 3);
    auto empty = makeProgram(0);
    EXPECT_EQ(hitTestLine(*empty, 10, 110), 0);
}

}  // namespace
}  // namespace kt57
