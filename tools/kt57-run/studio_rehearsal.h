// What the rehearsal page asks of a rehearsal: the screen and the state at a chosen virtual time.
// The page's server knows only StudioRehearsal, so a timeline that seeks can take the place of
// the straight rehearsal here without the server changing.
#pragma once
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "console/text_canvas.h"
#include "platform/headless/headless_event.h"

namespace kt57 {

// One visible character of the screen at its canvas cell.
struct ScreenCell {
    int y = 0;         // the band: the y the console drew the text at, in pixels
    int column = 0;    // the 8-pixel cell, as TextCanvas counts them
    int width = 1;     // 2 for a double-byte character, which covers the next column too
    bool red = false;
    std::string text;  // UTF-8, as TextCanvas renders it
};

struct RehearsalMoment {
    int64_t at = 0;                 // the virtual time asked for, in ms
    std::string screen;             // TextCanvas::render(): what kt57-run prints after "screen"
    std::string state;              // formatState's line, without a time
    std::vector<ScreenCell> cells;  // band by band, left to right; blanks left out
};

// What a rehearsal is made of, as kt57-run's command line names it.
struct RehearsalSource {
    std::string directory;   // holds KT57Data.txt and KT57Mode.txt
    std::string eventsFile;  // empty: no events
    std::string boardSerial;
    int64_t until = 60000;   // the end of the page's time line
};

class StudioRehearsal {
public:
    virtual ~StudioRehearsal() = default;
    // Takes the files as they are on the disk now. False, with the line kt57-run would print in
    // error, when the events file is refused; the rehearsal then keeps the events it had.
    virtual bool rebuild(std::string& error) = 0;
    // The rehearsal at virtual time at. May be asked from several threads at once.
    virtual RehearsalMoment momentAt(int64_t at) = 0;
};

// Every visible character of the canvas, with its cell.
std::vector<ScreenCell> screenCells(const TextCanvas& canvas);

// Each moment from a fresh run of its own, as kt57-run runs: start-up, then every event and tick
// due at or before the moment, ending early when the window is gone or nothing more can happen.
// The runs read a copy of the program folder in a scratch folder, which the rehearsal makes and
// removes: a run that ends the program writes KT57Mode.txt back, and neither the user's folder
// nor the next moment's start may see that.
class StraightRehearsal : public StudioRehearsal {
public:
    explicit StraightRehearsal(RehearsalSource source);
    ~StraightRehearsal() override;
    StraightRehearsal(const StraightRehearsal&) = delete;
    StraightRehearsal& operator=(const StraightRehearsal&) = delete;

    // False, with the reason, when the scratch folder could not be made.
    bool ready(std::string& error) const;
    bool rebuild(std::string& error) override;
    RehearsalMoment momentAt(int64_t at) override;

private:
    void copyProgramFolder();
    void restoreModeFile();

    RehearsalSource source_;
    std::filesystem::path scratch_;  // empty when it could not be made
    std::string scratchError_;
    std::mutex mutex_;               // one run at a time: they share the scratch folder
    std::vector<HeadlessEvent> events_;
    bool haveModeFile_ = false;
    std::string modeFile_;           // KT57Mode.txt's bytes as the user's folder held them
};

}  // namespace kt57
