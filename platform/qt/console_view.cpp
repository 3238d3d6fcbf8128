#include "platform/qt/console_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include "shell/window_messages.h"

namespace kt57 {
namespace {

constexpr uint32_t enterCode = 13;
constexpr uint32_t escapeCode = 27;

}  // namespace

int64_t clickLParam(int x, int y) {
    const auto low = static_cast<uint32_t>(x) & 0xFFFFu;
    const auto high = static_cast<uint32_t>(y) & 0xFFFFu;
    return static_cast<int64_t>(low | (high << 16));
}

ConsoleView::ConsoleView(ImageTextSurface& surface, MessageSink sink, QWidget* parent)
    : QWidget(parent), surface_(surface), sink_(std::move(sink)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the image covers every pixel; nothing to erase first
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void ConsoleView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, Qt::white);
    painter.drawImage(area.topLeft(), surface_.image(), area);
}

void ConsoleView::resizeEvent(QResizeEvent* event) {
    surface_.setClientSize(event->size());
    const QSize before = event->oldSize();
    const QSize after = event->size();
    if ((after.width() > before.width() || after.height() > before.height()) && grown_) grown_();
}

void ConsoleView::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty()) {
        // Some platforms give Enter and Esc without text; WM_CHAR still carries 13 and 27.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            sink_(messageChar, enterCode, typedKeyLParam);
        } else if (event->key() == Qt::Key_Escape) {
            sink_(messageChar, escapeCode, typedKeyLParam);
        } else {
            event->ignore();
        }
        return;
    }
    // Every key the sequencer knows is ASCII; other characters would arrive on Windows as code
    // page 932 bytes that no key acts on, so they are not delivered at all.
    for (const QChar character : text) {
        if (character.unicode() < 0x80) sink_(messageChar, character.unicode(), typedKeyLParam);
    }
}

void ConsoleView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) deliverClick(messageLeftButtonDown, *event);
}

void ConsoleView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) deliverClick(messageLeftButtonDoubleClick, *event);
}

// Tab is a character for the sequencer, not a focus move.
bool ConsoleView::focusNextPrevChild(bool) { return false; }

void ConsoleView::deliverClick(uint32_t message, const QMouseEvent& event) {
    const QPoint at = event.position().toPoint();
    sink_(message, 0, clickLParam(at.x(), at.y()));
}

}  // namespace kt57
