#include "tools/kt57-run/studio_rehearsal.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "platform/headless/headless_run.h"
#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "tools/kt57-run/events_file.h"
#include "tools/kt57-run/run_trace.h"
#include "tools/kt57-run/studio_token.h"

namespace kt57 {
namespace {

namespace fs = std::filesystem;

// The length in bytes of the UTF-8 character that starts with lead.
size_t characterLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    return 2;
}

// The bands' y values, in the order render() lists them.
std::vector<int> bandsOf(const std::string& rendered) {
    std::vector<int> bands;
    std::istringstream lines(rendered);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("y=", 0) == 0) bands.push_back(std::stoi(line.substr(2)));
    }
    return bands;
}

// A copy of the file at from, or of its absence.
void copyOrRemove(const fs::path& from, const fs::path& to) {
    std::error_code error;
    if (fs::exists(from, error)) {
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    } else {
        fs::remove(to, error);
    }
}

bool readWhole(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

std::vector<ScreenCell> screenCells(const TextCanvas& canvas) {
    std::vector<ScreenCell> cells;
    for (const int y : bandsOf(canvas.render())) {
        // The band's text holds one character per cell up to its last visible one, a whole pair
        // once: walking it visits every cell that holds something.
        const std::string text = canvas.bandText(y);
        int column = 0;
        for (size_t at = 0; at < text.size(); ++column) {
            const size_t length = characterLength(static_cast<unsigned char>(text[at]));
            ScreenCell cell;
            cell.y = y;
            cell.column = column;
            cell.text = text.substr(at, length);
            at += length;
            if (canvas.cellText(y, column + 1).empty()) {
                cell.width = 2;
                ++column;
            }
            cell.red = canvas.cellIsRed(y, cell.column);
            if (cell.text != " ") cells.push_back(std::move(cell));
        }
    }
    return cells;
}

StraightRehearsal::StraightRehearsal(RehearsalSource source) : source_(std::move(source)) {
    const std::string name = randomHex(8);
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    if (name.empty() || error) {
        scratchError_ = "no temporary folder for the rehearsal's copy of the program";
        return;
    }
    const fs::path scratch = temporary / ("kt57-studio-" + name);
    if (!fs::create_directory(scratch, error) || error) {
        scratchError_ = scratch.string() + ": " + error.message();
        return;
    }
    fs::permissions(scratch, fs::perms::owner_all, fs::perm_options::replace, error);
    scratch_ = scratch;
}

StraightRehearsal::~StraightRehearsal() {
    std::error_code error;
    if (!scratch_.empty()) fs::remove_all(scratch_, error);
}

bool StraightRehearsal::ready(std::string& error) const {
    error = scratchError_;
    return !scratch_.empty();
}

bool StraightRehearsal::rebuild(std::string& error) {
    EventsFile file;
    if (!source_.eventsFile.empty() && !readEventsFile(source_.eventsFile, file, error)) return false;
    const std::lock_guard lock(mutex_);
    events_ = std::move(file.events);
    copyProgramFolder();
    return true;
}

void StraightRehearsal::copyProgramFolder() {
    const fs::path folder(source_.directory);
    copyOrRemove(folder / programFileName, scratch_ / programFileName);
    haveModeFile_ = readWhole(folder / modeFileName, modeFile_);
}

void StraightRehearsal::restoreModeFile() {
    const fs::path path = scratch_ / modeFileName;
    std::error_code error;
    if (!haveModeFile_) {
        fs::remove(path, error);
        return;
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << modeFile_;
}

RehearsalMoment StraightRehearsal::momentAt(int64_t at) {
    const std::lock_guard lock(mutex_);
    restoreModeFile();
    HeadlessRun run({scratch_.string(), source_.boardSerial});
    for (const HeadlessEvent& event : events_) run.post(event);
    run.start();
    // kt57-run's loop, without its trace.
    auto ended = [&run] { return run.finished() || run.idle(); };
    bool done = ended();
    while (!done && run.step(at)) done = ended();
    if (!done) run.clock().advanceTo(at);

    RehearsalMoment moment;
    moment.at = at;
    moment.screen = run.canvas().render();
    moment.state = formatState(run.sequencer());
    moment.cells = screenCells(run.canvas());
    return moment;
}

}  // namespace kt57
