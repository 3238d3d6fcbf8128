// The headless shell: the whole program in virtual time, driven event by event. Used by the
// engine's integration tests, kt57-run, the benchmarks and the fuzzers.
//
// It implements, for the shared application logic:
//   Clock, BlockingWait  VirtualClock (starts at 0; only blocking waits and idling move it)
//   WindowTimer          HeadlessTimer (timer 1; overdue ticks coalesce into one)
//   MainWindow           HeadlessWindow (paints and destroys synchronously)
//   TextSurface          TextCanvas (the screen kept as text)
//   ModifierKeys         HeldModifiers (held for the duration of a scripted click)
//   FtDriver             VirtualBoard (latency 1 ms, the default virtual serial number)
//   FileService          HeadlessFiles (PosixFiles: a FIFO or device in place of a file counts as no file)
//
// Use:
//   HeadlessRun run({.directory = dir});
//   run.useDriver(...) / run.useSurface(...) / run.setObserver(...)   optional, before start()
//   run.start();                       start-up; its waits advance the clock (0 when no window)
//   run.post(HeadlessEvent::key(50, 'G'));
//   run.runUntil(5000);                every tick and event due up to 5000 ms, inclusive
//   run.sequencer().run.nextLine, run.canvas().render(), run.board().model.outputs ...
//
// The message loop delivers, in time order, scripted events and timer ticks; at the same
// millisecond an event comes before a tick, and events keep the order they were posted in. A
// message that fell due while the program was blocked (start-up, a release wait inside a tick)
// is delivered when the block ends, at that time. Nothing is delivered once the window is gone.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board/virtual_board.h"
#include "console/text_canvas.h"
#include "device/board_protocol.h"
#include "platform/headless/headless_event.h"
#include "platform/headless/headless_files.h"
#include "platform/headless/headless_snapshot.h"
#include "platform/headless/headless_timer.h"
#include "platform/headless/headless_window.h"
#include "platform/headless/held_modifiers.h"
#include "platform/headless/virtual_clock.h"
#include "shell/application.h"
#include "shell/services.h"

namespace kt57 {

struct HeadlessOptions {
    std::string directory = ".";           // where KT57Data.txt and KT57Mode.txt are
    std::string boardSerial = defaultVirtualSerialNumber;  // at most 8 characters are kept
};

class HeadlessRun {
public:
    explicit HeadlessRun(const HeadlessOptions& options = {});
    HeadlessRun(const HeadlessRun&) = delete;
    HeadlessRun& operator=(const HeadlessRun&) = delete;

    // Services to put in front of the defaults (kt57-run wraps them to trace); call before start().
    void useDriver(FtDriver& driver);
    void useSurface(TextSurface& surface);
    void setObserver(RunObserver* observer);

    // Start-up; returns startUp's result. Call once.
    int start();
    // Queues an event: after those already queued for the same millisecond.
    void post(const HeadlessEvent& event);
    // Delivers the next message due at or before limit (ms), advancing the clock to it.
    // False when nothing is due by then or the window is gone.
    bool step(int64_t limit);
    // step() until nothing is due by limit; then the clock stands at limit (unless the window is gone).
    void runUntil(int64_t limit);

    // Called for Screen and State events, when they are delivered.
    std::function<void(const HeadlessEvent&)> onReport;

    // The window is gone and the message loop has ended.
    bool finished() const { return window_.quitPosted() || !window_.alive(); }
    // Nothing more can happen: no events left, the program stopped, no reply awaited, the board
    // not held open.
    bool idle() const;
    bool eventsPending() const { return nextEvent_ < events_.size(); }
    // When the next event or tick falls due (earlier than now when it is overdue after a block);
    // INT64_MAX when none is queued or armed. Once it is later than now, this millisecond is over:
    // what the run shows now holds until then.
    int64_t nextDue() const;
    int64_t now() const { return clock_.now(); }

    Application& application() { return app_; }
    Sequencer& sequencer() { return app_.sequencer; }
    VirtualBoard& board() { return board_; }
    TextCanvas& canvas() { return canvas_; }
    VirtualClock& clock() { return clock_; }
    HeadlessTimer& timer() { return timer_; }
    HeadlessWindow& window() { return window_; }
    HeldModifiers& modifiers() { return modifiers_; }
    int ticksDelivered() const { return ticks_; }
    // The scripted events in delivery order, and how many of them have been delivered.
    const std::vector<HeadlessEvent>& events() const { return events_; }
    size_t eventsDelivered() const { return nextEvent_; }

    // The whole state now, and back: restore() takes only a snapshot saved from this same run
    // (the services it installed stay as they are) and is meant between two deliveries.
    void save(HeadlessSnapshot& snapshot) const;
    void restore(const HeadlessSnapshot& snapshot);

private:
    void deliver(const HeadlessEvent& event);
    void deliverTick();

    std::string directory_;
    VirtualClock clock_;
    HeadlessTimer timer_;
    VirtualBoard board_;
    TextCanvas canvas_;
    HeldModifiers modifiers_;
    HeadlessFiles files_;
    Application app_;
    HeadlessWindow window_;
    PlatformServices services_;
    std::vector<HeadlessEvent> events_;  // in delivery order
    size_t nextEvent_ = 0;
    int ticks_ = 0;
};

}  // namespace kt57
