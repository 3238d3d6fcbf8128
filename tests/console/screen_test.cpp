#include "console/screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/screen_texts.h"
#include "console_fixture.h"

namespace kt57 {
namespace {

using ScreenTest = ConsoleFixture;

TEST_F(ScreenTest, HeaderWithoutListingDrawsTheTwoCaptionsOnly) {
    auto store = makeProgram(3);
    RunControl run = startedRun(3);
    drawHeader(console, *store, run);
    EXPECT_EQ(canvas.render(),
              "y=40  実行データNo.   0 /   3\n"
              "y=70  レジスタ\n");
    EXPECT_EQ(canvas.resizeCount(), 0);
    EXPECT_EQ(console.detailView, 0);
    EXPECT_EQ(console.listingDirty, 0);
}

TEST_F(ScreenTest, HeaderWithListingResizesAndDrawsTheWholeListing) {
    auto store = makeProgram(3, {0, 12});
    RunControl run = startedRun(3);
    run.nextLine = 1;
    console.detailView = 1;
    drawHeader(console, *store, run);
    EXPECT_EQ(canvas.render(),
              "y=40  実行データNo.   1 /   3        ラベル\n"
              "y=70  レジスタ        送信 >>            受信 >>\n"
              "y=110  ■   1     CMD1\n"
              "y=130  次   2  12 CMD2\n"
              "y=150       3     CMD3\n");
    EXPECT_EQ(canvas.windowWidth(), 480);
    EXPECT_EQ(canvas.windowHeight(), 700);
    EXPECT_EQ(console.listingDirty, 0);
}

TEST_F(ScreenTest, StepModeShowsTheListingEvenWithoutDetailView) {
    auto store = makeProgram(2);
    RunControl run = startedRun(2);
    run.runMode = RunMode::Step;
    drawHeader(console, *store, run);
    EXPECT_EQ(console.detailView, 1);
    EXPECT_EQ(canvas.bandText(130), "      2     CMD2");
}

TEST_F(ScreenTest, WindowWidthFollowsTheListingColumns) {
    const struct {
        int lines;
        int width;
    } cases[] = {{0, 480}, {25, 480}, {26, 480}, {51, 640}, {256, 2240}};
    for (const auto& c : cases) {
        auto store = makeProgram(c.lines);
        RunControl run = startedRun(c.lines);
        console.detailView = 1;
        drawHeader(console, *store, run);
        EXPECT_EQ(canvas.windowWidth(), c.width) << c.lines;
        EXPECT_EQ(canvas.windowHeight(), 700) << c.lines;
    }
}

TEST_F(ScreenTest, LoopCounterSitsAfterTheRegisterCaption) {
    MachineState machine;
    machine.loopCounter = 999;
    drawText(console, 10, 70, registerCaptionText, registerCaptionLength);
    drawLoopCounter(console, machine);
    machine.loopCounter = 7;
    drawLoopCounter(console, machine);
    EXPECT_EQ(canvas.render(), "y=70  レジスタ    7\n");
}

TEST_F(ScreenTest, StatusRowDrawsLabelNumberIndicatorAndMarkers) {
    auto store = makeProgram(3, {0, 0, 42});
    RunControl run = startedRun(3);
    run.nextLine = 1;
    run.currentLine = 2;
    console.detailView = 1;
    drawStatusRow(console, *store, run);
    EXPECT_EQ(canvas.render(),
              "y=40                  3          □           42\n"
              "y=110\n"
              "y=130  次\n"
              "y=150  ■\n");
}

TEST_F(ScreenTest, StatusRowLeavesFieldsWhoseRuleGivesNoText) {
    auto store = makeProgram(3);
    RunControl run = startedRun(3);
    run.nextLine = 2;
    run.currentLine = 1;
    drawStatusRow(console, *store, run);  // tick 0: number and right square
    run.currentLine = 2;
    run.refreshTick = 3;  // neither the number nor the indicator is drawn
    drawStatusRow(console, *store, run);
    EXPECT_EQ(canvas.render(), "y=40                  2          □\n");
    run.refreshTick = 2;
    drawStatusRow(console, *store, run);
    EXPECT_EQ(canvas.render(), "y=40                  2        □\n");
}

TEST_F(ScreenTest, StatusRowLineNumberAndIndicatorRules) {
    auto store = makeProgram(9);
    const struct {
        const char* name;
        char mode;
        int next, current, continueAt, tick;
        const char* band;
    } cases[] = {
        {"stopped at 0", 'A', 9, 0, 4, 0, "                 0          □"},
        {"stopped, no continue", 'A', 9, 5, 9, 1, "               END"},
        {"stopped, continue, tick 5", 'A', 9, 5, 3, 5, "                 6          □"},
        {"stopped, continue, tick 7", 'A', 9, 5, 3, 7, "                          □"},
        {"step, odd next", 'S', 3, 2, 9, 1, "                 3          □"},
        {"step, even next", 'S', 4, 3, 9, 1, "                 4        □"},
    };
    for (const auto& c : cases) {
        canvas.clear();
        console.detailView = 0;
        RunControl run = startedRun(9);
        run.runMode = static_cast<RunMode>(c.mode);
        run.nextLine = c.next;
        run.currentLine = c.current;
        run.continueLine = c.continueAt;
        run.refreshTick = c.tick;
        drawStatusRow(console, *store, run);
        EXPECT_EQ(canvas.bandText(40), c.band) << c.name;
    }
}

// The marker columns of every line, "|"-separated.
std::string markerColumns(const TextCanvas& canvas, int lines) {
    std::string out;
    for (int index = 0; index < lines; ++index) {
        const int y = 110 + 20 * index;
        out += canvas.cellText(y, 1) + canvas.cellText(y, 2) + "|";
    }
    return out;
}

TEST_F(ScreenTest, ListingMarkersCoverEveryRowOfTheTableAndEraseOldOnes) {
    auto store = makeProgram(8);
    const struct {
        const char* name;
        int next, current, continueAt, breakAt;
        const char* markers;
    } cases[] = {
        {"stopped: G, C, current, break", 8, 5, 3, 6, "G |  |  |C |  |■| B|  |"},
        {"stopped: break on current", 8, 6, 3, 6, "G |  |  |C |  |  |*B|  |"},
        {"stopped: break on continue", 8, 5, 6, 6, "G |  |  |  |  |■|CB|  |"},
        {"stopped: break on 0", 8, 0, 0, 0, "*B|  |  |  |  |  |  |  |"},
        {"running: next and current", 2, 1, 8, 8, "  |■|次|  |  |  |  |  |"},
        {"running: break on next", 4, 3, 8, 4, "  |  |  |■| B|  |  |  |"},
    };
    for (const auto& c : cases) {
        RunControl run = startedRun(8);
        run.nextLine = c.next;
        run.currentLine = c.current;
        run.continueLine = c.continueAt;
        run.breakLine = c.breakAt;
        drawListing(console, *store, run);
        EXPECT_EQ(markerColumns(canvas, 8), c.markers) << c.name;
    }
}

TEST_F(ScreenTest, ListingGridPlacesEveryLineAndRedrawsTextsOnlyWhenDirty) {
    auto store = makeProgram(256);
    RunControl run = startedRun(256);
    run.nextLine = 256;
    run.currentLine = 255;
    console.listingDirty = 1;
    drawListing(console, *store, run);
    EXPECT_EQ(canvas.bandText(110).substr(0, 16), " G    1     CMD1");
    EXPECT_EQ(canvas.bandText(590).substr(0, 17), "     25     CMD25");
    EXPECT_EQ(canvas.cellText(110, 26) + canvas.cellText(110, 31), " 6");  // line 26 at (210, 110)
    EXPECT_NE(canvas.bandText(110).find(" 26     CMD26"), std::string::npos);
    EXPECT_NE(canvas.bandText(210).find("■ 256     CMD256"), std::string::npos);  // (2010, 210)
    EXPECT_EQ(console.listingDirty, 0);

    const long before = canvas.drawCount();
    drawListing(console, *store, run);
    EXPECT_EQ(canvas.drawCount() - before, 256);  // markers only
}

TEST_F(ScreenTest, EmptyProgramListsNothingButShowsTheListing) {
    auto store = makeProgram(0);
    RunControl run = startedRun(0);
    console.listingDirty = 1;
    drawListing(console, *store, run);
    EXPECT_EQ(canvas.render(), "");
    EXPECT_EQ(console.detailView, 1);
    EXPECT_EQ(console.listingDirty, 0);
}

TEST_F(ScreenTest, ErrorTextIsRedAndTheVersionTextWipesIt) {
    drawErrorText(console, placedLoopError);
    EXPECT_EQ(canvas.render(), "y=10 " + std::string(39, ' ') + "ループエラー\nred 39-50\n");
    EXPECT_TRUE(canvas.contextOpen());
    EXPECT_EQ(canvas.contextColour(), 0);
    EXPECT_EQ(console.context.colourIndex, 0);
    drawText(console, 310, 10, versionText, versionLength);
    EXPECT_EQ(canvas.render(), "y=10 " + std::string(42, ' ') + "Ver3.2\n");
}

TEST_F(ScreenTest, AfterAStartUpFailureTextNothingDrawsUntilTheNextOpen) {
    closeTextContext(console);
    openTextContext(console, 4);
    drawText(console, 10, 10, noConnectionText, noConnectionLength);
    closeTextContext(console);
    auto store = makeProgram(3);
    RunControl run = startedRun(3);
    drawHeader(console, *store, run);
    EXPECT_FALSE(drawText(console, 310, 10, versionText, versionLength));
    EXPECT_EQ(canvas.render(), "y=10   接続なし\nred 2-9\n");
    openTextContext(console, 0);  // the paint
    EXPECT_TRUE(drawText(console, 310, 10, versionText, versionLength));
}

TEST_F(ScreenTest, CommandFrameShowsItsCarriageReturn) {
    drawText(console, 205, 70, "WA123456\r", 9);
    EXPECT_EQ(canvas.bandText(70), std::string(26, ' ') + "WA123456␍");
}

TEST_F(ScreenTest, NothingDrawsWithoutASurface) {
    ConsoleState bare;
    auto store = makeProgram(3);
    RunControl run = startedRun(3);
    openTextContext(bare, 0);
    bare.detailView = 1;
    drawHeader(bare, *store, run);
    drawStatusRow(bare, *store, run);
    EXPECT_FALSE(drawText(bare, 0, 0, "x", 1));
}

// The sample screen of docs/console-canvas.md.
TEST_F(ScreenTest, DocumentedSampleScreen) {
    auto store = makeProgram(7, {0, 10});
    const char* texts[] = {"SET 3      ", "WA00000F   ", "RD000000   ", "AND 000001 ", "JNG 010    ", "DEC        ", "JNZ 010    "};
    for (int index = 0; index < 7; ++index) std::memcpy(store->lines[index].text, texts[index], 11);
    console.detailView = 1;
    MachineState machine;
    machine.loopCounter = 3;
    RunControl run = startedRun(7);
    run.breakLine = 5;
    run.continueLine = 7;
    drawHeader(console, *store, run);
    drawText(console, 310, 10, versionText, versionLength);
    drawLoopCounter(console, machine);
    drawText(console, 10, 10, runningText, runningLength);
    drawText(console, 205, 70, "RD000000\r", 9);
    drawText(console, 355, 70, "R0000A5\r", 8);
    run.nextLine = 3;
    run.currentLine = 2;
    run.refreshTick = 5;
    drawStatusRow(console, *store, run);
    drawErrorText(console, placedLoopError);
    EXPECT_EQ(canvas.render(),
              "y=10  連続実行中 (Sキーで実行停止)          ループエラー\n"
              "red 39-50\n"
              "y=40  実行データNo.   3 /   7    □  ラベル  ___\n"
              "y=70  レジスタ    3   送信 >>  RD000000␍ 受信 >> R0000A5␍\n"
              "y=110       1     SET 3\n"
              "y=130       2  10 WA00000F\n"
              "y=150  ■   3     RD000000\n"
              "y=170  次   4     AND 000001\n"
              "y=190       5     JNG 010\n"
              "y=210   B   6     DEC\n"
              "y=230       7     JNZ 010\n");
}

TEST_F(ScreenTest, OpeningReplacesTheOpenContextAndRejectsUnknownColours) {
    openTextContext(console, 4);
    EXPECT_EQ(canvas.contextColour(), 4);
    openTextContext(console, 9);
    EXPECT_EQ(console.context.colourIndex, 0);
    EXPECT_EQ(canvas.contextColour(), 0);
    closeTextContext(console);
    closeTextContext(console);  // nothing open: nothing to do
    EXPECT_EQ(console.context.open, 0);
    EXPECT_FALSE(canvas.contextOpen());
    EXPECT_FALSE(drawText(console, 10, 10, "x", 1));
}

}  // namespace
}  // namespace kt57
