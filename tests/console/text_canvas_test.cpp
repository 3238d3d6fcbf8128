#include "console/text_canvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kt57 {
namespace {

class CanvasTest : public testing::Test {
protected:
    void SetUp() override { canvas.openContext(0); }
    bool draw(int x, int y, const char* text) { return canvas.drawText(x, y, text, static_cast<int>(std::strlen(text))); }
    TextCanvas canvas;
};

TEST_F(CanvasTest, BandsAreSortedByYAndColumnsSampleTheCellCentres) {
    draw(85, 70, "123");  // cells at 85, 93, 101 cover 92, 100, 108: columns 11-13
    draw(10, 10, "AB");   // 10 covers 12: column 1
    draw(0, 40, "x");     // 0 covers 4: column 0
    draw(5, 40, "y");     // 5 covers 12: column 1
    EXPECT_EQ(canvas.render(), "y=10  AB\ny=40 xy\ny=70            123\n");
}

TEST_F(CanvasTest, LaterTextOverwritesOnlyTheCellsItCovers) {
    draw(10, 10, "ABCDEF");
    draw(26, 10, "xy");
    EXPECT_EQ(canvas.bandText(10), " ABxyEF");
}

TEST_F(CanvasTest, DoubleByteCharactersTakeTwoColumnsAndBreakWhenHalfOverwritten) {
    draw(10, 10, "\x8E\x9F\x81\xA1Z");  // 次■Z
    EXPECT_EQ(canvas.bandText(10), " 次■Z");
    EXPECT_EQ(canvas.cellText(10, 1), "次");
    EXPECT_EQ(canvas.cellText(10, 2), "");
    draw(18, 10, "a");  // second half of 次
    EXPECT_EQ(canvas.bandText(10), "  a■Z");
    draw(26, 10, "b");  // first half of ■
    EXPECT_EQ(canvas.bandText(10), "  ab Z");
}

TEST_F(CanvasTest, UnprintableBytesShowAsPicturesOrReplacement) {
    const char bytes[] = {'\x00', '\x0D', '\x1F', '\x7F', '\x80', '\xA0', '\xFD', '\xFF', '\x85', '\x40', '\x8E'};
    canvas.drawText(4, 10, bytes, sizeof bytes);
    EXPECT_EQ(canvas.bandText(10), "␀␍␟␡����\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(canvas.cellText(10, 8), "\xEF\xBF\xBD");  // undefined pair: one wide U+FFFD
    EXPECT_EQ(canvas.cellText(10, 9), "");
}

TEST_F(CanvasTest, TrailingBlanksAreCutAndBlankBandsStay) {
    draw(10, 10, "   ");
    draw(10, 40, "ab   ");
    EXPECT_EQ(canvas.render(), "y=10\ny=40  ab\n");
}

TEST_F(CanvasTest, RedRangesCoverVisibleRedCharactersOnly) {
    draw(4, 10, "ok ");
    canvas.openContext(4);
    draw(28, 10, "\x83G\x83\x89 E");  // エラ E at columns 3-4, 5-6, 8
    canvas.openContext(0);
    draw(4, 40, "plain");
    EXPECT_EQ(canvas.render(), "y=10 ok エラ E\nred 3-6,8-8\ny=40 plain\n");
    EXPECT_TRUE(canvas.cellIsRed(10, 4));
    EXPECT_FALSE(canvas.cellIsRed(10, 7));
    draw(36, 10, "X");  // black over the second half of エ
    EXPECT_EQ(canvas.render(), "y=10 ok  Xラ E\nred 5-6,8-8\ny=40 plain\n");
}

TEST_F(CanvasTest, DrawingWithoutAContextFailsAndChangesNothing) {
    draw(10, 10, "A");
    canvas.closeContext();
    EXPECT_FALSE(draw(10, 10, "B"));
    EXPECT_FALSE(draw(10, 40, "C"));
    EXPECT_EQ(canvas.render(), "y=10  A\n");
    canvas.openContext(0);
    EXPECT_TRUE(draw(10, 10, "B"));
    EXPECT_EQ(canvas.render(), "y=10  B\n");
}

TEST_F(CanvasTest, ClearEmptiesTheWindowButKeepsSizeAndContext) {
    canvas.resizeWindow(480, 700);
    draw(10, 10, "A");
    draw(10, 5000, "far");  // beyond the direct lookup
    canvas.clear();
    EXPECT_EQ(canvas.render(), "");
    EXPECT_TRUE(canvas.contextOpen());
    EXPECT_EQ(canvas.windowWidth(), 480);
    EXPECT_EQ(canvas.windowHeight(), 700);
    draw(10, 40, "B");
    EXPECT_EQ(canvas.render(), "y=40  B\n");
}

TEST_F(CanvasTest, EmptyDrawsAddNoBandAndEdgesAreNotClipped) {
    EXPECT_TRUE(canvas.drawText(10, 10, "", 0));
    EXPECT_EQ(canvas.render(), "");
    draw(-12, -20, "\x8E\x9F" "AB");  // pair at columns -2/-1 is cut off, A at 0
    draw(2100, 590, "far");
    EXPECT_EQ(canvas.render(), "y=-20 AB\ny=590 " + std::string(262, ' ') + "far\n");
    EXPECT_FALSE(canvas.overflowed());
    draw(8 * TextCanvas::maxColumns - 4, 590, "x");  // the last column still fits
    EXPECT_FALSE(canvas.overflowed());
    draw(8 * TextCanvas::maxColumns + 4, 590, "x");
    EXPECT_TRUE(canvas.overflowed());
}

TEST_F(CanvasTest, PairCutByTheLeftEdgeShowsBlank) {
    draw(-4, 10, "\x8E\x9F" "A");  // pair covers columns -1 and 0
    EXPECT_EQ(canvas.render(), "y=10  A\n");
}

}  // namespace
}  // namespace kt57
