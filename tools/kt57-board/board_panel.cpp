// The panel implements: lamps refreshed from the model after each command, switches that set the
// model's inputs, unplug/plug, mute and inject, and the log. The pseudo-terminal is watched with a
// QSocketNotifier and the reply latency with a single-shot QTimer.
#include "tools/kt57-board/board_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/linux/board_control.h"
#include "tools/kt57-board/frame_log.h"

namespace kt57 {

namespace {

constexpr int bitCount = 24;

class BoardPanel : public QWidget, public BoardEventSink {
public:
    BoardPanel(PtyBoard& board, int64_t start) : board_(board), start_(start) {
        setWindowTitle(QStringLiteral("kt57-board %1").arg(QString::fromLatin1(board.model.serialNumber)));
        auto* layout = new QVBoxLayout(this);

        serialLabel_ = new QLabel(this);
        QFont big = serialLabel_->font();
        big.setPointSize(big.pointSize() + 4);
        big.setBold(true);
        serialLabel_->setFont(big);
        layout->addWidget(serialLabel_);
        stateLabel_ = new QLabel(this);
        layout->addWidget(stateLabel_);

        auto* bits = new QGroupBox(QStringLiteral("Outputs (lamps) and inputs (click to switch)"), this);
        auto* grid = new QGridLayout(bits);
        grid->setHorizontalSpacing(3);
        for (int bit = bitCount - 1; bit >= 0; --bit) {
            // A gap after every 8 bits makes the six hexadecimal digits easy to read off.
            const int column = (bitCount - 1 - bit) + (bitCount - 1 - bit) / 8;
            auto* number = new QLabel(QString::number(bit), bits);
            number->setAlignment(Qt::AlignCenter);
            grid->addWidget(number, 0, column + 1);
            lamps_[bit] = new QLabel(bits);
            lamps_[bit]->setFixedSize(20, 20);
            grid->addWidget(lamps_[bit], 1, column + 1, Qt::AlignCenter);
            switches_[bit] = new QPushButton(QStringLiteral("0"), bits);
            switches_[bit]->setCheckable(true);
            switches_[bit]->setFixedSize(24, 24);
            connect(switches_[bit], &QPushButton::toggled, this, [this, bit](bool on) { setInput(bit, on); });
            grid->addWidget(switches_[bit], 2, column + 1, Qt::AlignCenter);
        }
        for (int gap = 1; gap < bitCount / 8; ++gap) grid->setColumnMinimumWidth(gap * 9, 12);
        outputsText_ = new QLabel(bits);
        inputsText_ = new QLabel(bits);
        grid->addWidget(new QLabel(QStringLiteral("out"), bits), 1, 0);
        grid->addWidget(new QLabel(QStringLiteral("in"), bits), 2, 0);
        grid->addWidget(outputsText_, 1, bitCount + 4);
        grid->addWidget(inputsText_, 2, bitCount + 4);
        layout->addWidget(bits);

        auto* faults = new QGroupBox(QStringLiteral("Faults"), this);
        auto* faultRow = new QHBoxLayout(faults);
        plugButton_ = new QPushButton(faults);
        connect(plugButton_, &QPushButton::clicked, this, [this] { togglePlug(); });
        faultRow->addWidget(plugButton_);
        muteBox_ = new QCheckBox(QStringLiteral("Mute"), faults);
        connect(muteBox_, &QCheckBox::toggled, this, [this](bool on) {
            board_.model.muted = on;
            note(on ? "muted" : "unmuted");
        });
        faultRow->addWidget(muteBox_);
        injectText_ = new QLineEdit(faults);
        injectText_->setPlaceholderText(QStringLiteral("bytes to inject, e.g. U0000FF\\x0D"));
        connect(injectText_, &QLineEdit::returnPressed, this, [this] { injectTyped(); });
        faultRow->addWidget(injectText_, 1);
        auto* injectButton = new QPushButton(QStringLiteral("Inject"), faults);
        connect(injectButton, &QPushButton::clicked, this, [this] { injectTyped(); });
        faultRow->addWidget(injectButton);
        layout->addWidget(faults);

        log_ = new QPlainTextEdit(this);
        log_->setReadOnly(true);
        log_->setMaximumBlockCount(5000);
        QFont fixed(QStringLiteral("Monospace"));
        fixed.setStyleHint(QFont::TypeWriter);
        log_->setFont(fixed);
        log_->setMinimumHeight(220);
        layout->addWidget(log_, 1);

        dueTimer_.setSingleShot(true);
        connect(&dueTimer_, &QTimer::timeout, this, [this] { serviceBoard(); });
        board_.events = this;
        watchTerminal();
        refresh();
        BoardEvent plugged {BoardEventKind::Plugged, start_, nullptr, 0};
        boardEvent(plugged);
    }

    ~BoardPanel() override { board_.events = nullptr; }

    void boardEvent(const BoardEvent& event) override {
        char line[1200];
        formatBoardEvent(event, start_, board_.devicePath(), line, sizeof line);
        log_->appendPlainText(QString::fromLatin1(line));
        if (event.kind == BoardEventKind::Command) refresh();
    }

private:
    void note(const char* text) {
        const int64_t elapsed = monotonicMilliseconds() - start_;
        log_->appendPlainText(QStringLiteral("%1.%2  %3")
                                  .arg(elapsed / 1000, 4)
                                  .arg(elapsed % 1000, 3, 10, QLatin1Char('0'))
                                  .arg(QString::fromLatin1(text)));
    }

    void watchTerminal() {
        delete notifier_;
        notifier_ = nullptr;
        if (!board_.isPlugged()) return;
        notifier_ = new QSocketNotifier(board_.descriptor(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { serviceBoard(); });
    }

    void serviceBoard() {
        const int64_t now = monotonicMilliseconds();
        board_.service(now);
        const int wait = board_.millisecondsUntilDue(now);
        if (wait >= 0) dueTimer_.start(wait);
    }

    void setInput(int bit, bool on) {
        const uint32_t mask = uint32_t {1} << bit;
        board_.model.inputs = on ? (board_.model.inputs | mask) : (board_.model.inputs & ~mask);
        switches_[bit]->setText(on ? QStringLiteral("1") : QStringLiteral("0"));
        char text[32];
        std::snprintf(text, sizeof text, "inputs     %06X", static_cast<unsigned>(board_.model.inputs));
        note(text);
        refresh();
    }

    void togglePlug() {
        const int64_t now = monotonicMilliseconds();
        // The notifier must not outlive the descriptor it watches.
        delete notifier_;
        notifier_ = nullptr;
        if (board_.isPlugged()) {
            board_.unplug(now);
        } else {
            char error[512];
            if (!board_.plug(now, error, sizeof error)) note(error);
        }
        watchTerminal();
        refresh();
    }

    void injectTyped() {
        const QByteArray typed = injectText_->text().toLatin1();
        unsigned char bytes[injectCapacity];
        size_t size = 0;
        if (typed.isEmpty() || !parseEscapedBytes(typed.constData(), bytes, sizeof bytes, size)) {
            note("inject: bad escape (use \\xHH, \\r, \\n or \\\\) or more than 256 bytes");
            return;
        }
        if (!board_.isPlugged()) {
            note("unplugged, nothing injected");
            return;
        }
        board_.inject(bytes, size, monotonicMilliseconds());
    }

    void refresh() {
        serialLabel_->setText(QStringLiteral("Serial number %1").arg(QString::fromLatin1(board_.model.serialNumber)));
        stateLabel_->setText(board_.isPlugged()
                                 ? QStringLiteral("Plugged in on %1").arg(QString::fromLatin1(board_.devicePath()))
                                 : QStringLiteral("Unplugged"));
        plugButton_->setText(board_.isPlugged() ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
        for (int bit = 0; bit < bitCount; ++bit) {
            const bool lit = (board_.model.outputs >> bit & 1u) != 0;
            lamps_[bit]->setStyleSheet(lit ? QStringLiteral("background:#ffb000; border:1px solid #805000; border-radius:10px;")
                                           : QStringLiteral("background:#3a3a3a; border:1px solid #202020; border-radius:10px;"));
        }
        outputsText_->setText(QStringLiteral("  %1").arg(board_.model.outputs & 0xFFFFFFu, 6, 16, QLatin1Char('0')).toUpper());
        inputsText_->setText(QStringLiteral("  %1").arg(board_.model.inputs & 0xFFFFFFu, 6, 16, QLatin1Char('0')).toUpper());
    }

    PtyBoard& board_;
    int64_t start_;
    QLabel* serialLabel_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QLabel* lamps_[bitCount] = {};
    QPushButton* switches_[bitCount] = {};
    QLabel* outputsText_ = nullptr;
    QLabel* inputsText_ = nullptr;
    QPushButton* plugButton_ = nullptr;
    QCheckBox* muteBox_ = nullptr;
    QLineEdit* injectText_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer dueTimer_;
};

}  // namespace

int runBoardPanel(PtyBoard& board, int shutdownDescriptor, int64_t startMilliseconds, int argc, char** argv) {
    QApplication application(argc, argv);
    BoardPanel panel(board, startMilliseconds);
    QSocketNotifier shutdown(shutdownDescriptor, QSocketNotifier::Read);
    QObject::connect(&shutdown, &QSocketNotifier::activated, &application, &QApplication::quit);
    panel.show();
    return application.exec();
}

}  // namespace kt57
