// What the Qt tests share: a Qt application on the offscreen platform, a scratch folder, a real
// millisecond clock for the in-process virtual board, and a check that a text is on the screen.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "device/blocking_wait.h"
#include "device/clock.h"
#include "platform/qt/console_painter.h"
#include "tests/support/scratch_files.h"

namespace kt57::test {

inline QApplication& offscreenApplication() {
    static int argc = 1;
    static char name[] = "kt57-qt-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* app = new QApplication(argc, argv);
        app->setQuitOnLastWindowClosed(false);
        return app;
    }();
    return *application;
}

// Runs the event loop until done() holds or the time is up; true when it held.
inline bool processEventsUntil(const std::function<bool()>& done, int timeoutMilliseconds = 5000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMilliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

// The shared scratch directory, with the paths and files the Qt tests use.
class ScratchFolder {
public:
    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const std::string& content) const {
        support::writeFile(scratch_.file(name), content);
    }
    std::string read(const std::string& name) const { return support::readFile(scratch_.file(name)); }
    bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

private:
    const support::ScratchDirectory scratch_{"kt57-qt"};
    const std::filesystem::path path_{scratch_.path()};
};

class SteadyClock : public Clock {
public:
    int64_t nowMilliseconds() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

// Start-up's waits cost nothing here; the sum is kept.
class NoWait : public BlockingWait {
public:
    void waitMilliseconds(int milliseconds) override { total += milliseconds; }
    long total = 0;
};

// True when the cells of length bytes at (x, y) in image hold exactly those bytes as the console
// paints them, and something visible is there (a font that drew nothing would pass otherwise).
inline testing::AssertionResult showsText(const QImage& image, const QFont& font, int x, int y, const char* bytes,
                                          int length, int colourIndex = 0) {
    QImage expected(image.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    const QRect cells = paintConsoleText(expected, font, consoleColour(colourIndex), x, y, bytes, length);
    bool visible = false;
    for (int py = cells.top(); py <= cells.bottom(); ++py) {
        for (int px = cells.left(); px <= cells.right(); ++px) {
            const QRgb want = expected.pixel(px, py);
            const QRgb got = image.pixel(px, py);
            if (want != got) {
                return testing::AssertionFailure()
                       << "pixel (" << px << ", " << py << ") is " << std::hex << got << ", expected " << want;
            }
            visible = visible || want != qRgb(255, 255, 255);
        }
    }
    if (!visible) return testing::AssertionFailure() << "the text at (" << x << ", " << y << ") draws nothing";
    return testing::AssertionSuccess();
}

// True when no pixel of the rectangle is anything but white.
inline bool isWhite(const QImage& image, const QRect& area) {
    for (int py = area.top(); py <= area.bottom(); ++py) {
        for (int px = area.left(); px <= area.right(); ++px) {
            if (image.pixel(px, py) != qRgb(255, 255, 255)) return false;
        }
    }
    return true;
}

}  // namespace kt57::test
