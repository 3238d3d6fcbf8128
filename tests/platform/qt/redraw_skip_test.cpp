// The Qt surface paints a cell from a copied tile, and not at all when the cell already shows
// it. Neither may change a pixel: after any sequence of texts the image must be exactly what
// painting every text in place gives.
#include <gtest/gtest.h>

#include <QImage>
#include <random>
#include <string>

#include "platform/qt/console_font.h"
#include "platform/qt/console_painter.h"
#include "platform/qt/glyph_tiles.h"
#include "platform/qt/image_text_surface.h"
#include "tests/platform/qt/qt_test_support.h"

namespace kt57 {
namespace {

// Single bytes, "次", "■", a control byte, a lone lead byte and an undefined pair.
const std::string samples[] = {"AB", "\x8e\x9f", "\x81\xa1", "\x8e\x9f\x81\xa1", "  ", "W0\r", "\x81", "\x85\x40x"};

class RedrawSkip : public testing::Test {
protected:
    void SetUp() override { test::offscreenApplication(); }
};

TEST_F(RedrawSkip, TilesGiveThePixelsOfPaintingInPlace) {
    GlyphTiles tiles(consoleFont());
    for (const std::string& text : samples) {
        for (const int colour : {0, 4}) {
            // Whole, and cut by each edge of the image.
            for (const QPoint at : {QPoint(13, 7), QPoint(-5, 3), QPoint(52, -6), QPoint(3, 50)}) {
                QImage expected(60, 60, QImage::Format_RGB32);
                expected.fill(Qt::white);
                QImage actual = expected;
                const int length = static_cast<int>(text.size());
                const QRect painted = paintConsoleText(expected, consoleFont(), consoleColour(colour), at.x(), at.y(),
                                                       text.data(), length);
                EXPECT_EQ(tiles.paint(actual, colour, at.x(), at.y(), text.data(), length), painted);
                EXPECT_EQ(actual, expected) << "text " << text << " colour " << colour << " at " << at.x() << ","
                                            << at.y();
            }
        }
    }
}

TEST_F(RedrawSkip, OverlappingTextsAreNeverTakenForUnchanged) {
    ImageTextSurface surface;
    surface.setClientSize(QSize(120, 64));
    QImage expected(120, 64, QImage::Format_RGB32);
    expected.fill(Qt::white);
    std::mt19937 random(57);
    for (int draw = 0; draw < 3000; ++draw) {
        // Few positions, a pixel or a few apart, so that texts land on each other often, in part
        // and in rows that overlap.
        const int x = static_cast<int>(random() % 14) * 4 - 8;
        const int y = static_cast<int>(random() % 6) * 6;
        const int colour = random() % 4 == 0 ? 4 : 0;
        const std::string& text = samples[random() % std::size(samples)];
        surface.openContext(colour);
        surface.drawText(x, y, text.data(), static_cast<int>(text.size()));
        paintConsoleText(expected, consoleFont(), consoleColour(colour), x, y, text.data(),
                         static_cast<int>(text.size()));
        if (draw % 500 == 499) {
            surface.clear();
            expected.fill(Qt::white);
        }
        ASSERT_EQ(surface.image(), expected) << "after draw " << draw;
    }
}

}  // namespace
}  // namespace kt57
