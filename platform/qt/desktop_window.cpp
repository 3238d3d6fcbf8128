#include "platform/qt/desktop_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QScreen>
#include <QWindow>
#include <cstring>

#include "console/cp932.h"
#include "console/screen_texts.h"
#include "platform/qt/console_view.h"
#include "platform/qt/image_text_surface.h"

namespace kt57 {
namespace {

constexpr int createdWidth = 480;
constexpr int createdHeight = 300;
// How long showing waits for the window system to map the window before painting anyway.
constexpr int exposeWaitMilliseconds = 2000;

QString fromCp932(const char* bytes, size_t size) {
    return QString::fromStdString(cp932ToUtf8(bytes, size));
}

}  // namespace

DesktopWindow::DesktopWindow(Application& app, ImageTextSurface& surface)
    : app_(app), surface_(surface), pacer_([this](const QRect& area) { console_->update(area); }) {
    console_ = new ConsoleView(
        surface_, [this](const ShellEvent& event) { deliver(event); },
        this);
    setCentralWidget(console_);
    console_->setGrowthHandler([this] {
        if (shown_) scheduleRepaint();
    });
    QMenu* menu = menuBar()->addMenu(fromCp932(menuTitleText, std::strlen(menuTitleText)));
    QAction* endProgram = menu->addAction(fromCp932(menuEndProgramText, std::strlen(menuEndProgramText)));
    connect(endProgram, &QAction::triggered, this, [this] { deliver(ShellEvent::endProgram()); });
    surface_.setResizeHandler([this](int width, int height) { setOuterSize(width, height); });
    setAttribute(Qt::WA_DeleteOnClose, false);
}

DesktopWindow::~DesktopWindow() { surface_.setResizeHandler({}); }

bool DesktopWindow::create(const char* title) {
    setWindowTitle(fromCp932(title, std::strlen(title)));
    setOuterSize(createdWidth, createdHeight);
    // The window exists from here on; its native side only once shown.
    winId();
    windowHandle()->installEventFilter(this);
    pacer_.setFrameInterval(frameIntervalOf(windowHandle()->screen() != nullptr ? windowHandle()->screen()->refreshRate() : 0));
    return true;
}

void DesktopWindow::showAndUpdate() {
    show();
    console_->setFocus();
    // UpdateWindow paints before it returns: wait for the window system to map the window, so
    // that its first expose is answered by this paint and not by a second repaint later.
    QElapsedTimer waited;
    waited.start();
    const auto windowEventsOnly = QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers;
    QCoreApplication::processEvents(windowEventsOnly);
    while (!windowHandle()->isExposed() && waited.elapsed() < exposeWaitMilliseconds) {
        QThread::msleep(2);
        QCoreApplication::processEvents(windowEventsOnly);
    }
    repaintPending_ = false;
    shown_ = true;
    surface_.clear();
    deliver(ShellEvent::repaint());
    presentNow();
}

void DesktopWindow::destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    handleEvent(app_, ShellEvent::destroyed());
    hide();
}

void DesktopWindow::postQuit(int exitCode) {
    quitPosted_ = true;
    exitCode_ = exitCode;
    // Queued, like PostQuitMessage: the loop ends once it reaches the request.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}

void DesktopWindow::deliver(const ShellEvent& event) {
    if (destroyed_) return;
    handleEvent(app_, event);
    present();
}

void DesktopWindow::closeFromTitleBar() { destroy(); }

void DesktopWindow::repaintRequested() {
    repaintPending_ = false;
    if (destroyed_) return;
    surface_.clear();
    deliver(ShellEvent::repaint());
}

void DesktopWindow::presentNow() {
    const QRect changed = surface_.takeChangedArea() | pacer_.takePending();
    if (changed.isEmpty()) return;
    pacer_.painted();
    console_->repaint(changed);
}

void DesktopWindow::closeEvent(QCloseEvent* event) {
    closeFromTitleBar();
    event->accept();
}

bool DesktopWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && event->type() == QEvent::Expose && shown_ && windowHandle()->isExposed()) {
        scheduleRepaint();
    }
    return QMainWindow::eventFilter(watched, event);
}

void DesktopWindow::present() { pacer_.request(surface_.takeChangedArea()); }

void DesktopWindow::setOuterSize(int width, int height) {
    // SetWindowPos to the size the window already has changes nothing; asking again could only
    // start a tug of war with a window manager that keeps the window smaller.
    const QSize outer(width, height);
    if (outer == requestedOuterSize_) return;
    requestedOuterSize_ = outer;
    const QSize decorations = (frameGeometry().size() - geometry().size()).expandedTo(QSize(0, 0));
    resize((outer - decorations).expandedTo(QSize(1, 1)).boundedTo(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)));
}

// As with a desktop window, several requests before the loop gets to them make one repaint.
void DesktopWindow::scheduleRepaint() {
    if (repaintPending_) return;
    repaintPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (repaintPending_) repaintRequested();
    });
}

}  // namespace kt57
