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

#include "board/board_log.h"
#include "device/board_protocol.h"
#include "platform/linux/monotonic_clock.h"
#include "tools/kt57-board/board_controls.h"

namespace kt57 {

namespace {

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
        for (int bit = pinCount - 1; bit >= 0; --bit) {
            // A gap after every 8 bits makes the six hexadecimal digits easy to read off.
            const int column = (pinCount - 1 - bit) + (pinCount - 1 - bit) / 8;
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
        for (int gap = 1; gap < pinCount / 8; ++gap) grid->setColumnMinimumWidth(gap * 9, 12);
        outputsText_ = new QLabel(bits);
        inputsText_ = new QLabel(bits);
        grid->addWidget(new QLabel(QStringLiteral("out"), bits), 1, 0);
        grid->addWidget(new QLabel(QStringLiteral("in"), bits), 2, 0);
        grid->addWidget(outputsText_, 1, pinCount + 4);
        grid->addWidget(inputsText_, 2, pinCount + 4);
        layout->addWidget(bits);

        auto* faults = new QGroupBox(QStringLiteral("Faults"), this);
        auto* faultRow = new QHBoxLayout(faults);
        plugButton_ = new QPushButton(faults);
        connect(plugButton_, &QPushButton::clicked, this, [this] { togglePlug(); });
        faultRow->addWidget(plugButton_);
        muteBox_ = new QCheckBox(QStringLiteral("Mute"), faults);
        connect(muteBox_, &QCheckBox::toggled, this, [this](bool on) { control(on ? "mute" : "unmute"); });
        faultRow->addWidget(muteBox_);
        struct FaultBox {
            const char* label;
            const char* call;
        };
        static constexpr FaultBox faultBoxes[] = {
            {"Open fails", "open"}, {"Write fails", "write"}, {"Status fails", "status"}, {"Read fails", "read"}};
        for (const FaultBox& box : faultBoxes) {
            auto* check = new QCheckBox(QString::fromLatin1(box.label), faults);
            const char* call = box.call;
            connect(check, &QCheckBox::toggled, this, [this, call](bool on) {
                control(QByteArray(on ? "fail " : "heal ").append(call).constData());
            });
            faultRow->addWidget(check);
        }
        injectText_ = new QLineEdit(faults);
        injectText_->setPlaceholderText(QStringLiteral("bytes to inject, e.g. U0000FF\\x0D"));
        connect(injectText_, &QLineEdit::returnPressed, this, [this] { injectTyped(); });
        faultRow->addWidget(injectText_, 1);
        auto* injectButton = new QPushButton(QStringLiteral("Inject"), faults);
        connect(injectButton, &QPushButton::clicked, this, [this] { injectTyped(); });
        faultRow->addWidget(injectButton);
        layout->addWidget(faults);

        // Any control line, exactly as kt57-board takes it on standard input.
        auto* controlRow = new QHBoxLayout;
        controlText_ = new QLineEdit(this);
        controlText_->setPlaceholderText(QStringLiteral("control line, e.g. latency 20, fail read, serial VB000002"));
        connect(controlText_, &QLineEdit::returnPressed, this, [this] { controlTyped(); });
        controlRow->addWidget(controlText_, 1);
        auto* controlButton = new QPushButton(QStringLiteral("Send"), this);
        connect(controlButton, &QPushButton::clicked, this, [this] { controlTyped(); });
        controlRow->addWidget(controlButton);
        layout->addLayout(controlRow);

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
        board_.session.events = this;
        watchTerminal();
        refresh();
        BoardEvent plugged {BoardEventKind::Plugged, start_, nullptr, 0, 0};
        boardEvent(plugged);
    }

    ~BoardPanel() override { board_.session.events = nullptr; }

    void boardEvent(const BoardEvent& event) override {
        if (event.kind == BoardEventKind::Outputs || event.kind == BoardEventKind::Inputs) refresh();
        char line[1200];
        if (!formatBoardEvent(event, start_, board_.devicePath(), line, sizeof line)) return;
        log_->appendPlainText(QString::fromLatin1(line));
    }

private:
    void note(const char* text) {
        char line[400];
        formatBoardNote(text, monotonicMilliseconds() - start_, line, sizeof line);
        log_->appendPlainText(QString::fromLatin1(line));
    }

    // Every panel control is a control line, the same as typed on standard input.
    void control(const char* line) {
        // The notifier must not outlive a descriptor that a plug or unplug closes.
        delete notifier_;
        notifier_ = nullptr;
        const ControlOutcome outcome = applyControlLine(board_, line);
        if (outcome.note[0] != '\0') note(outcome.note);
        if (outcome.problem[0] != '\0') note(outcome.problem);
        if (outcome.help != nullptr) note(outcome.help);
        if (outcome.quit) QApplication::quit();
        watchTerminal();
        scheduleDue();
        refresh();
    }

    void watchTerminal() {
        delete notifier_;
        notifier_ = nullptr;
        if (!board_.isPlugged()) return;
        notifier_ = new QSocketNotifier(board_.descriptor(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { serviceBoard(); });
    }

    void serviceBoard() {
        board_.service();
        scheduleDue();
    }

    void scheduleDue() {
        const int wait = board_.millisecondsUntilDue();
        if (wait >= 0) dueTimer_.start(wait);
    }

    void setInput(int bit, bool on) {
        const uint32_t mask = uint32_t {1} << bit;
        const uint32_t inputs = on ? (board_.model.inputs | mask) : (board_.model.inputs & ~mask);
        switches_[bit]->setText(on ? QStringLiteral("1") : QStringLiteral("0"));
        char line[32];
        std::snprintf(line, sizeof line, "input %06X", static_cast<unsigned>(inputs));
        control(line);
    }

    void togglePlug() { control(board_.isPlugged() ? "unplug" : "plug"); }

    void controlTyped() {
        control(controlText_->text().toLatin1().constData());
    }

    void injectTyped() {
        const QByteArray line = QByteArrayLiteral("inject ") + injectText_->text().toLatin1();
        control(line.constData());
    }

    void refresh() {
        serialLabel_->setText(QStringLiteral("Serial number %1").arg(QString::fromLatin1(board_.model.serialNumber)));
        stateLabel_->setText(board_.isPlugged()
                                 ? QStringLiteral("Plugged in on %1").arg(QString::fromLatin1(board_.devicePath()))
                                 : QStringLiteral("Unplugged"));
        plugButton_->setText(board_.isPlugged() ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
        for (int bit = 0; bit < pinCount; ++bit) {
            const bool lit = (board_.model.outputs >> bit & 1u) != 0;
            lamps_[bit]->setStyleSheet(lit ? QStringLiteral("background:#ffb000; border:1px solid #805000; border-radius:10px;")
                                           : QStringLiteral("background:#3a3a3a; border:1px solid #202020; border-radius:10px;"));
        }
        outputsText_->setText(QStringLiteral("  %1").arg(board_.model.outputs & pinMask, 6, 16, QLatin1Char('0')).toUpper());
        inputsText_->setText(QStringLiteral("  %1").arg(board_.model.inputs & pinMask, 6, 16, QLatin1Char('0')).toUpper());
    }

    PtyBoard& board_;
    int64_t start_;
    QLabel* serialLabel_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QLabel* lamps_[pinCount] = {};
    QPushButton* switches_[pinCount] = {};
    QLabel* outputsText_ = nullptr;
    QLabel* inputsText_ = nullptr;
    QPushButton* plugButton_ = nullptr;
    QCheckBox* muteBox_ = nullptr;
    QLineEdit* injectText_ = nullptr;
    QLineEdit* controlText_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer dueTimer_;
};

}  // namespace

int runBoardPanel(PtyBoard& board, int shutdownDescriptor, int64_t startMilliseconds, PinRecording* recording,
                  int argc, char** argv) {
    QApplication application(argc, argv);
    BoardPanel panel(board, startMilliseconds);
    QTimer flushTimer;
    if (recording != nullptr) {
        recording->join(board.session);
        QObject::connect(&flushTimer, &QTimer::timeout, &application, [recording] { recording->flush(); });
        flushTimer.start(PinRecording::flushIntervalMilliseconds);
    }
    QSocketNotifier shutdown(shutdownDescriptor, QSocketNotifier::Read);
    QObject::connect(&shutdown, &QSocketNotifier::activated, &application, &QApplication::quit);
    panel.show();
    return application.exec();
}

}  // namespace kt57
