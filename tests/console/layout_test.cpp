#include "console/layout.h"

#include <gtest/gtest.h>

#include <string>

#include "console/cp932.h"

namespace kt57 {
namespace {

std::string shown(const FieldText& field) { return cp932ToUtf8(field.bytes, static_cast<size_t>(field.length)); }
std::string shown(const char* text, int length) { return text == nullptr ? "(none)" : cp932ToUtf8(text, static_cast<size_t>(length)); }

TEST(Layout, CellOriginFollowsTheTwentyFiveRowGrid) {
    const struct {
        int index;
        CellOrigin origin;
    } cases[] = {{0, {10, 110}}, {1, {10, 130}}, {24, {10, 590}}, {25, {210, 110}}, {49, {210, 590}}, {50, {410, 110}}, {255, {2010, 210}}};
    for (const auto& c : cases) EXPECT_EQ(listingCellOrigin(c.index), c.origin) << c.index;
}

TEST(Layout, WindowWidthFitsTheColumnsBetweenTheLimits) {
    const struct {
        int32_t lineCount;
        int width;
    } cases[] = {{0, 480}, {1, 480}, {25, 480}, {26, 480}, {50, 480}, {51, 640}, {75, 640}, {76, 840}, {256, 2240}, {500, 4000}, {-3, 480}, {INT32_MAX, 4000}};
    for (const auto& c : cases) EXPECT_EQ(listingWindowWidth(c.lineCount), c.width) << c.lineCount;
}

TEST(Layout, ListedLineCountStaysWithinTheStore) {
    EXPECT_EQ(listedLineCount(-1), 0);
    EXPECT_EQ(listedLineCount(0), 0);
    EXPECT_EQ(listedLineCount(256), 256);
    EXPECT_EQ(listedLineCount(300), 256);
}

RunControl runAt(char mode, int32_t next, int32_t current, int32_t continueAt, int32_t breakAt, int32_t tick = 0) {
    RunControl run;
    run.runMode = static_cast<RunMode>(mode);
    run.nextLine = next;
    run.currentLine = current;
    run.continueLine = continueAt;
    run.breakLine = breakAt;
    run.refreshTick = tick;
    return run;
}

// Ten lines; 10 as a line index means none, as a nextLine value means stopped.
TEST(Layout, MarkerIsTheFirstRowOfTheTableThatHolds) {
    const struct {
        const char* name;
        RunControl run;
        int index;
        const char* marker;
    } cases[] = {
        {"1 break and current", runAt('A', 5, 3, 10, 3), 3, "*B"},
        {"1 beats continue", runAt('A', 10, 3, 3, 3), 3, "*B"},
        {"2 break and continue", runAt('A', 10, 4, 3, 3), 3, "CB"},
        {"3 break", runAt('A', 10, 4, 10, 3), 3, " B"},
        {"3 break beats next", runAt('A', 3, 4, 10, 3), 3, " B"},
        {"3 break beats G", runAt('A', 10, 4, 10, 0), 0, " B"},
        {"4 G while stopped", runAt('A', 10, 4, 10, 10), 0, "G "},
        {"4 G beats continue and current", runAt('A', 10, 0, 0, 10), 0, "G "},
        {"5 continue while stopped", runAt('A', 10, 4, 6, 10), 6, "C "},
        {"5 continue beats current", runAt('A', 10, 6, 6, 10), 6, "C "},
        {"6 current while stopped", runAt('A', 10, 4, 6, 10), 4, "■"},
        {"7 none while stopped", runAt('A', 10, 4, 6, 10), 5, "  "},
        {"8 next while running", runAt('A', 5, 4, 6, 10), 5, "次"},
        {"8 next beats current", runAt('S', 5, 5, 6, 10), 5, "次"},
        {"9 current while running", runAt('A', 5, 4, 6, 10), 4, "■"},
        {"10 none while running", runAt('A', 5, 4, 6, 10), 6, "  "},
        {"10 no G while running", runAt('A', 5, 4, 6, 10), 0, "  "},
    };
    for (const auto& c : cases) EXPECT_EQ(shown(listingMarker(c.run, 10, c.index), 2), c.marker) << c.name;
}

TEST(Layout, LineNumberFieldRules) {
    const struct {
        const char* name;
        RunControl run;
        const char* field;
    } cases[] = {
        {"stopped at 0 with continue", runAt('A', 10, 0, 4, 10, 3), "  0 "},
        {"stopped at 0 in step", runAt('S', 10, 0, 10, 10, 3), "  0 "},
        {"stopped without continue", runAt('A', 10, 7, 10, 10, 3), "END "},
        {"stopped without continue in step", runAt('S', 10, 7, 10, 10, 0), "END "},
        {"stopped with continue, step", runAt('S', 10, 7, 4, 10, 3), "  8 "},
        {"stopped with continue, tick 5", runAt('A', 10, 7, 4, 10, 5), "  8 "},
        {"stopped with continue, tick 3", runAt('A', 10, 7, 4, 10, 3), ""},
        {"running, tick 0", runAt('A', 3, 2, 10, 10, 0), "  3 "},
        {"running, tick 15", runAt('P', 3, 2, 10, 10, 15), "  3 "},
        {"running, tick 2", runAt('A', 3, 2, 10, 10, 2), ""},
        {"running in step", runAt('S', 3, 2, 10, 10, 7), "  3 "},
        {"running at 0, tick 1", runAt('A', 3, 0, 10, 10, 1), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(shown(lineNumberField(c.run, 10)), c.field) << c.name;
    EXPECT_EQ(shown(lineNumberField(runAt('S', 256, 255, 3, 256, 0), 256)), "256 ");
}

TEST(Layout, IndicatorFollowsStepParityOrTheRefreshTick) {
    const char* right = "   □ ";
    const char* left = " □   ";
    for (int next : {0, 1, 2, 7}) {
        EXPECT_EQ(shown(activityIndicator(runAt('S', next, 0, 0, 0, 1)), 6), next % 2 ? right : left) << next;
    }
    for (int tick = 0; tick < 20; ++tick) {
        const char* expected = tick % 5 == 0 ? right : tick % 5 == 2 ? left : "(none)";
        for (char mode : {'A', 'M', 'P'}) {
            EXPECT_EQ(shown(activityIndicator(runAt(mode, 3, 0, 0, 0, tick)), 6), expected) << tick << mode;
        }
    }
}

TEST(Layout, LabelFieldShowsTheCurrentLinesLabel) {
    ProgramStore store{};
    store.lineCount = 3;
    store.lines[0].label = 0;
    store.lines[1].label = 5;
    store.lines[2].label = 999;
    const struct {
        int32_t current;
        const char* field;
    } cases[] = {{0, "___    "}, {1, "  5    "}, {2, "999    "}, {3, "___    "}, {-1, "___    "}};
    for (const auto& c : cases) {
        const FieldText field = labelField(store, runAt('A', 3, c.current, 3, 3));
        EXPECT_EQ(field.length, 7);
        EXPECT_EQ(shown(field), c.field) << c.current;
    }
}

TEST(Layout, FormattedFields) {
    EXPECT_EQ(shown(listingNumber(0, 0)), "  1     ");
    EXPECT_EQ(shown(listingNumber(9, 12)), " 10  12 ");
    EXPECT_EQ(shown(listingNumber(255, 999)), "256 999 ");
    EXPECT_EQ(shown(headerText(0, 7)), "実行データNo.   0 /   7      ");
    EXPECT_EQ(headerText(256, 256).length, 29);
    EXPECT_EQ(shown(loopCounterText(0)), "  0 ");
    EXPECT_EQ(shown(loopCounterText(999)), "999 ");
    EXPECT_EQ(shown(loopCounterText(INT32_MIN)), "-2147483648 ");
}

TEST(HitTest, ColumnAndRowEdges) {
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
    for (const auto& c : cases) EXPECT_EQ(hitTestLine(256, c.x, c.y), c.index) << c.x << "," << c.y;
}

TEST(HitTest, PastTheLastLineGivesLineCount) {
    EXPECT_EQ(hitTestLine(3, 10, 150), 2);
    EXPECT_EQ(hitTestLine(3, 10, 170), 3);
    EXPECT_EQ(hitTestLine(3, 10, 690), 3);
    EXPECT_EQ(hitTestLine(3, 210, 110), 3);
    EXPECT_EQ(hitTestLine(0, 10, 110), 0);
}

// Every cell's own origin hits its line: the hit test is the inverse of the listing grid.
TEST(HitTest, EveryCellOriginHitsItsOwnLine) {
    for (int index = 0; index < maxProgramLines; ++index) {
        const CellOrigin origin = listingCellOrigin(index);
        EXPECT_EQ(hitTestLine(maxProgramLines, origin.x, origin.y), index);
        EXPECT_EQ(hitTestLine(maxProgramLines, origin.x + listingColumnWidth - 1, origin.y + listingRowHeight - 1), index);
    }
}

}  // namespace
}  // namespace kt57
