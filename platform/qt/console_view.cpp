#include "platform/qt/console_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace kt57 {

ShellEvent clickAt(ShellEventKind kind, int x, int y) {
    ShellEvent event{kind};
    event.x = static_cast<uint16_t>(x);
    event.y = static_cast<uint16_t>(y);
    return event;
}

ConsoleView::ConsoleView(ImageTextSurface& surface, EventSink sink, QWidget* parent)
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
        // Some platforms give Enter and Esc without text; the controls still take them as characters.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            sink_(ShellEvent::enter());
        } else if (event->key() == Qt::Key_Escape) {
            sink_(ShellEvent::escape());
        } else {
            event->ignore();
        }
        return;
    }
    // Every key the sequencer knows is ASCII; other characters would arrive on Windows as code
    // page 932 bytes that no key acts on, so they are not delivered at all.
    for (const QChar character : text) {
        if (character.unicode() < 0x80) sink_(ShellEvent::typed(character.unicode()));
    }
}

void ConsoleView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) deliverClick(ShellEventKind::Click, *event);
}

void ConsoleView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) deliverClick(ShellEventKind::DoubleClick, *event);
}

// Tab is a character for the sequencer, not a focus move.
bool ConsoleView::focusNextPrevChild(bool) { return false; }

void ConsoleView::deliverClick(ShellEventKind kind, const QMouseEvent& event) {
    const QPoint at = event.position().toPoint();
    sink_(clickAt(kind, at.x(), at.y()));
}

}  // namespace kt57
