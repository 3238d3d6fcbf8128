// The console's pixels on Qt: byte cells at exact positions, opaque white under every text, the
// palette, and the retained image behind the drawing service.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QImage>

#include "platform/qt/console_font.h"
#include "platform/qt/console_painter.h"
#include "platform/qt/image_text_surface.h"
#include "tests/platform/qt/qt_test_support.h"

namespace kt57 {
namespace {

using test::isWhite;

QImage whiteImage(int width = 200, int height = 64) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// The smallest rectangle around every non-white pixel; empty when there is none.
QRect inkBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255)) bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

class ConsolePainter : public testing::Test {
protected:
    void SetUp() override { test::offscreenApplication(); }
};

TEST_F(ConsolePainter, TheConsoleFontHasTheCellsTheLayoutAssumes) {
    const QFont font = consoleFont();
    EXPECT_EQ(font.pixelSize(), consoleCellHeight);
    const QFontInfo info(font);
    EXPECT_TRUE(info.family().contains("Gothic") || info.family().contains("ゴシック"))
        << "resolved to " << info.family().toStdString();
}

TEST_F(ConsolePainter, EveryByteOwnsItsCellWhateverTheFontsAdvances) {
    // A proportional face, whose 'i' and 'W' advance by anything but 8 pixels.
    QFont proportional(QStringLiteral("DejaVu Sans"));
    proportional.setPixelSize(16);
    QImage whole = whiteImage();
    paintConsoleText(whole, proportional, Qt::black, 8, 8, "iWiW", 4);
    QImage pieces = whiteImage();
    paintConsoleText(pieces, proportional, Qt::black, 8, 8, "i", 1);
    paintConsoleText(pieces, proportional, Qt::black, 16, 8, "W", 1);
    paintConsoleText(pieces, proportional, Qt::black, 24, 8, "iW", 2);
    EXPECT_EQ(whole, pieces);
    EXPECT_TRUE(QRect(8, 8, 32, 16).contains(inkBounds(whole))) << "ink outside the four cells";
}

TEST_F(ConsolePainter, ADoubleByteCharacterCoversTwoCellsAndNothingElse) {
    QImage image = whiteImage();
    const QRect covered = paintConsoleText(image, consoleFont(), Qt::black, 16, 24, "\x81\xA1", 2);  // ■
    EXPECT_EQ(covered, QRect(16, 24, 16, 16));
    const QRect ink = inkBounds(image);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(covered.contains(ink));
    EXPECT_GE(ink.width(), 10) << "the black square should fill most of its two cells";
}

TEST_F(ConsolePainter, TheBackgroundUnderATextIsOpaqueWhite) {
    QImage image = whiteImage();
    paintConsoleText(image, consoleFont(), Qt::black, 0, 0, "\x81\xA1\x81\xA1", 4);
    ASSERT_FALSE(isWhite(image, QRect(0, 0, 32, 16)));
    // Blanks erase what was under them; so does a control byte, around its box.
    paintConsoleText(image, consoleFont(), Qt::black, 0, 0, " \r  ", 4);
    EXPECT_EQ(inkBounds(image), QRect(9, 3, 6, 11));
    paintConsoleText(image, consoleFont(), Qt::black, 0, 0, "    ", 4);
    EXPECT_TRUE(isWhite(image, image.rect()));
}

// The CR that ends a frame is seen, as the Windows font's glyph for byte 13 is: a box in its own
// cell, the same for every control byte.
TEST_F(ConsolePainter, AControlByteShowsAsABoxInItsCell) {
    const struct {
        const char* name;
        char byte;
    } cases[] = {{"NUL", '\x00'}, {"SOH", '\x01'}, {"CR", '\r'}, {"US", '\x1F'}, {"DEL", '\x7F'}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image = whiteImage();
        const QRect covered = paintConsoleText(image, consoleFont(), Qt::black, 16, 8, &c.byte, 1);
        EXPECT_EQ(covered, QRect(16, 8, 8, 16));
        EXPECT_EQ(inkBounds(image), QRect(17, 11, 6, 11));
        EXPECT_EQ(image.pixel(17, 11), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(19, 16), qRgb(255, 255, 255)) << "an outline, not a filled block";
    }
}

TEST_F(ConsolePainter, AFramesClosingCarriageReturnIsVisibleAfterItsText) {
    QImage image = whiteImage(120, 32);
    paintConsoleText(image, consoleFont(), Qt::black, 0, 0, "W000000F\r", 9);
    EXPECT_FALSE(isWhite(image, QRect(64, 0, 8, 16))) << "the ninth cell, the CR, is blank";
    QImage box = whiteImage(120, 32);
    paintConsoleText(box, consoleFont(), Qt::black, 64, 0, "\r", 1);
    EXPECT_EQ(image.copy(64, 0, 8, 16), box.copy(64, 0, 8, 16));
}

TEST_F(ConsolePainter, APaletteIndexGivesItsColour) {
    EXPECT_EQ(consoleColour(0), QColor(0, 0, 0));
    EXPECT_EQ(consoleColour(4), QColor(255, 0, 0));
    EXPECT_EQ(consoleColour(1), QColor(0, 0, 255));  // COLORREF 0xFF0000 is blue
    EXPECT_EQ(consoleColour(7), QColor(255, 255, 255));
    EXPECT_EQ(consoleColour(8), QColor(0, 0, 0));
    EXPECT_EQ(consoleColour(-1), QColor(0, 0, 0));
}

TEST_F(ConsolePainter, TheSurfaceDrawsOnlyWhileAContextIsOpen) {
    ImageTextSurface surface;
    surface.setClientSize(QSize(120, 40));
    EXPECT_FALSE(surface.drawText(0, 0, "X", 1));
    EXPECT_TRUE(isWhite(surface.image(), surface.image().rect()));
    EXPECT_TRUE(surface.takeChangedArea().isEmpty());

    surface.openContext(4);
    EXPECT_TRUE(surface.drawText(8, 16, "\x81\xA1", 2));
    EXPECT_TRUE(surface.drawText(100, 0, "XYZ", 3));  // partly past the edge: clipped
    EXPECT_TRUE(test::showsText(surface.image(), surface.font(), 8, 16, "\x81\xA1", 2, 4));
    EXPECT_EQ(surface.takeChangedArea(), QRect(8, 0, 112, 32));
    EXPECT_TRUE(surface.takeChangedArea().isEmpty());

    surface.closeContext();
    EXPECT_FALSE(surface.drawText(8, 16, "  ", 2));
    EXPECT_TRUE(test::showsText(surface.image(), surface.font(), 8, 16, "\x81\xA1", 2, 4));
}

TEST_F(ConsolePainter, ResizingKeepsWhatStaysAndClearingWhitensAll) {
    ImageTextSurface surface;
    surface.setClientSize(QSize(100, 40));
    surface.openContext(0);
    surface.drawText(8, 8, "\x81\xA1", 2);
    surface.setClientSize(QSize(300, 200));
    EXPECT_EQ(surface.image().size(), QSize(300, 200));
    EXPECT_TRUE(test::showsText(surface.image(), surface.font(), 8, 8, "\x81\xA1", 2));
    EXPECT_TRUE(isWhite(surface.image(), QRect(100, 0, 200, 200)));
    // Shrinking loses what falls outside, as a window's clipped drawing does.
    surface.setClientSize(QSize(12, 12));
    surface.setClientSize(QSize(100, 40));
    EXPECT_TRUE(isWhite(surface.image(), QRect(12, 0, 88, 40)));

    surface.clear();
    EXPECT_TRUE(isWhite(surface.image(), surface.image().rect()));
    EXPECT_EQ(surface.takeChangedArea(), surface.image().rect());
}

TEST_F(ConsolePainter, ResizeRequestsGoToTheWindow) {
    ImageTextSurface surface;
    int width = 0;
    int height = 0;
    surface.setResizeHandler([&](int w, int h) {
        width = w;
        height = h;
    });
    surface.resizeWindow(640, 700);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 700);
}

}  // namespace
}  // namespace kt57
