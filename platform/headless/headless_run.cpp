// The headless message loop in virtual time.
#include "platform/headless/headless_run.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "board/apply_board_control.h"

namespace kt57 {

namespace {

// The board events as the one control language has them.
BoardControl boardControlOf(const HeadlessEvent& event) {
    BoardControl control = event.board;
    switch (event.kind) {
        case HeadlessEventKind::Input:
            control.kind = BoardControlKind::Input;
            control.inputs = event.code;
            break;
        case HeadlessEventKind::Latency:
            control.kind = BoardControlKind::Latency;
            control.latencyMilliseconds = event.code;
            break;
        case HeadlessEventKind::Unplug: control.kind = BoardControlKind::Unplug; break;
        case HeadlessEventKind::Plug: control.kind = BoardControlKind::Plug; break;
        case HeadlessEventKind::Mute: control.kind = BoardControlKind::Mute; break;
        case HeadlessEventKind::Unmute: control.kind = BoardControlKind::Unmute; break;
        case HeadlessEventKind::Inject:
            // The receive queue holds no more than injectCapacity bytes, so none beyond are lost here.
            control.kind = BoardControlKind::Inject;
            control.size = std::min(event.bytes.size(), sizeof control.bytes);
            std::memcpy(control.bytes, event.bytes.data(), control.size);
            break;
        default:
            break;
    }
    return control;
}

}  // namespace

HeadlessRun::HeadlessRun(const HeadlessOptions& options)
    : directory_(options.directory), timer_(clock_), board_(clock_), window_(app_, canvas_) {
    board_.session.setSerialNumber(options.boardSerial.c_str());

    services_.driver = &board_;
    services_.wait = &clock_;
    services_.surface = &canvas_;
    services_.modifiers = &modifiers_;
    services_.timer = &timer_;
    services_.window = &window_;
    services_.files = &files_;
    installServices(app_, services_);
    app_.directory = directory_.c_str();
}

void HeadlessRun::useDriver(FtDriver& driver) { services_.driver = &driver; }
void HeadlessRun::useSurface(TextSurface& surface) { services_.surface = &surface; }
void HeadlessRun::setObserver(RunObserver* observer) { services_.observer = observer; }

int HeadlessRun::start() {
    installServices(app_, services_);
    return startUp(app_);
}

void HeadlessRun::post(const HeadlessEvent& event) {
    const auto later = std::upper_bound(events_.begin() + static_cast<std::ptrdiff_t>(nextEvent_), events_.end(),
                                        event.at,
                                        [](int64_t at, const HeadlessEvent& queued) { return at < queued.at; });
    events_.insert(later, event);
}

bool HeadlessRun::step(int64_t limit) {
    if (finished()) return false;
    const bool haveEvent = eventsPending() && events_[nextEvent_].at <= limit;
    const bool haveTick = timer_.armed() && timer_.due() <= limit;
    if (!haveEvent && !haveTick) return false;
    // Same millisecond: the event first.
    if (haveEvent && (!haveTick || events_[nextEvent_].at <= timer_.due())) {
        const HeadlessEvent event = events_[nextEvent_++];
        clock_.advanceTo(event.at);
        deliver(event);
    } else {
        clock_.advanceTo(timer_.due());
        deliverTick();
    }
    return true;
}

void HeadlessRun::runUntil(int64_t limit) {
    while (step(limit)) {
    }
    if (!finished()) clock_.advanceTo(limit);
}

int64_t HeadlessRun::nextDue() const {
    int64_t due = INT64_MAX;
    if (eventsPending()) due = events_[nextEvent_].at;
    if (timer_.armed()) due = std::min(due, timer_.due());
    return due;
}

bool HeadlessRun::idle() const {
    const Sequencer& s = app_.sequencer;
    return !eventsPending() && stopped(s.run, s.program.lineCount) && s.run.replyWait == 0 &&
           s.link.linkState != LinkState::Open;
}

void HeadlessRun::save(HeadlessSnapshot& snapshot) const {
    const Sequencer& s = app_.sequencer;
    snapshot.machine = s.machine;
    snapshot.run = s.run;
    snapshot.link = s.link;
    snapshot.console = s.console;
    // The services are the run's own and stay installed; leaving them out lets two runs compare.
    snapshot.link.driver = nullptr;
    snapshot.link.wait = nullptr;
    snapshot.console.surface = nullptr;
    snapshot.console.modifiers = nullptr;
    snapshot.shell = app_.shell;
    snapshot.now = clock_.now();
    snapshot.timer = timer_.saveState();
    snapshot.board = board_.session.saveState();
    canvas_.save(snapshot.canvas);
    snapshot.window = window_.saveState();
    snapshot.controlHeld = modifiers_.control;
    snapshot.shiftHeld = modifiers_.shift;
    snapshot.eventsDelivered = nextEvent_;
    snapshot.ticks = ticks_;
}

void HeadlessRun::restore(const HeadlessSnapshot& snapshot) {
    Sequencer& s = app_.sequencer;
    s.machine = snapshot.machine;
    s.run = snapshot.run;
    DeviceLink link = snapshot.link;
    link.driver = s.link.driver;
    link.wait = s.link.wait;
    s.link = link;
    ConsoleState console = snapshot.console;
    console.surface = s.console.surface;
    console.modifiers = s.console.modifiers;
    s.console = console;
    app_.shell = snapshot.shell;
    clock_.restoreNow(snapshot.now);
    timer_.restoreState(snapshot.timer);
    board_.session.restoreState(snapshot.board);
    canvas_.restore(snapshot.canvas);
    window_.restoreState(snapshot.window);
    modifiers_.control = snapshot.controlHeld;
    modifiers_.shift = snapshot.shiftHeld;
    nextEvent_ = snapshot.eventsDelivered;
    ticks_ = snapshot.ticks;
}

void HeadlessRun::deliverTick() {
    const uint64_t before = timer_.generation();
    ++ticks_;
    handleEvent(app_, ShellEvent::tick());
    // A sleep's countdown leaves the timer alone, so it keeps its period.
    if (timer_.armed() && timer_.generation() == before) timer_.advancePastTick();
}

void HeadlessRun::deliver(const HeadlessEvent& event) {
    switch (event.kind) {
        case HeadlessEventKind::Key:
            handleEvent(app_, ShellEvent::typed(event.code));
            break;
        case HeadlessEventKind::Post:
            handleEvent(app_, ShellEvent::posted(event.code));
            break;
        case HeadlessEventKind::Click:
        case HeadlessEventKind::DoubleClick:
            modifiers_.control = event.control;
            modifiers_.shift = event.shift;
            handleEvent(app_, ShellEvent::click(event.x, event.y));
            if (event.kind == HeadlessEventKind::DoubleClick) handleEvent(app_, ShellEvent::doubleClick(event.x, event.y));
            modifiers_.control = false;
            modifiers_.shift = false;
            break;
        case HeadlessEventKind::Paint:
            window_.paint();
            break;
        case HeadlessEventKind::Menu:
            // The events file numbers menu commands as a 32-bit word whose low half is the command.
            handleEvent(app_, ShellEvent::menu(static_cast<uint16_t>(event.code)));
            break;
        case HeadlessEventKind::Close:
            window_.destroy();
            break;
        case HeadlessEventKind::Input:
        case HeadlessEventKind::Latency:
        case HeadlessEventKind::Unplug:
        case HeadlessEventKind::Plug:
        case HeadlessEventKind::Mute:
        case HeadlessEventKind::Unmute:
        case HeadlessEventKind::Inject:
        case HeadlessEventKind::Board:
            applyBoardControl(board_.session, boardControlOf(event));
            break;
        case HeadlessEventKind::Screen:
        case HeadlessEventKind::State:
            if (onReport) onReport(event);
            break;
    }
}

}  // namespace kt57
