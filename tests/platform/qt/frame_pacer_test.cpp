// Ticks ask to present up to 100 times a second; the screen gets at most one paint per frame,
// and every area asked for reaches it.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <vector>

#include "platform/qt/frame_pacer.h"
#include "tests/platform/qt/qt_test_support.h"

namespace kt57 {
namespace {

class FramePacing : public testing::Test {
protected:
    void SetUp() override {
        test::offscreenApplication();
        clock.start();
        pacer.setFrameInterval(20);
    }

    struct Paint {
        QRect area;
        qint64 at;
    };
    QElapsedTimer clock;
    std::vector<Paint> paints;
    FramePacer pacer{[this](const QRect& area) { paints.push_back({area, clock.elapsed()}); }};
};

TEST_F(FramePacing, AreasAskedForWithinAFrameReachTheScreenTogetherAtItsEnd) {
    pacer.request(QRect(0, 0, 10, 10));  // the first paint after a quiet spell goes at once
    ASSERT_EQ(paints.size(), 1u);
    pacer.request(QRect(50, 0, 10, 10));
    pacer.request(QRect(0, 50, 10, 10));
    pacer.request(QRect());  // nothing changed: nothing asked
    EXPECT_EQ(paints.size(), 1u);
    ASSERT_TRUE(test::processEventsUntil([&] { return paints.size() == 2; }));
    EXPECT_EQ(paints[1].area, QRect(0, 0, 60, 60));
    EXPECT_GE(paints[1].at - paints[0].at, 19);  // timer rounding: a whole frame, give or take a millisecond
}

TEST_F(FramePacing, TicksAtTheDesignRateGiveNoMorePaintsThanFrames) {
    // 100 ticks a second for half a second, each changing a marker, as the engine does.
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    int delivered = 0;
    QObject::connect(&ticks, &QTimer::timeout, [&] { pacer.request(QRect(delivered++ % 40, 0, 2, 2)); });
    ticks.start(10);
    ASSERT_TRUE(test::processEventsUntil([&] { return delivered >= 50; }));
    ticks.stop();
    const qint64 spell = clock.elapsed();
    bool settled = false;  // two frames after the last tick, its area has been painted
    QTimer::singleShot(40, [&] { settled = true; });
    ASSERT_TRUE(test::processEventsUntil([&] { return settled; }));
    EXPECT_TRUE(pacer.takePending().isEmpty());
    EXPECT_LE(static_cast<qint64>(paints.size()), spell / 20 + 2) << "over " << spell << " ms";
    for (size_t i = 1; i < paints.size(); ++i) EXPECT_GE(paints[i].at - paints[i - 1].at, 19) << "paint " << i;
}

TEST_F(FramePacing, APaintMadeNowTakesWhatWasGatheredAndRestartsTheFrame) {
    pacer.request(QRect(0, 0, 4, 4));
    pacer.request(QRect(8, 0, 4, 4));
    EXPECT_EQ(pacer.takePending(), QRect(8, 0, 4, 4));
    pacer.painted();
    // Nothing is painted for it later: a marker two frames on comes first, and the record between
    // holds only the first paint.
    bool marker = false;
    QTimer::singleShot(40, [&] { marker = true; });
    ASSERT_TRUE(test::processEventsUntil([&] { return marker; }));
    EXPECT_EQ(paints.size(), 1u);
}

TEST(FrameInterval, FollowsTheScreenAndFallsBackToSixtyHertz) {
    EXPECT_EQ(frameIntervalOf(60.0), 16);
    EXPECT_EQ(frameIntervalOf(59.94), 16);
    EXPECT_EQ(frameIntervalOf(144.0), 6);
    EXPECT_EQ(frameIntervalOf(0.0), 16);
    EXPECT_EQ(frameIntervalOf(-1.0), 16);
    EXPECT_EQ(frameIntervalOf(1e9), 16);
}

}  // namespace
}  // namespace kt57
