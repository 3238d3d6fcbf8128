#include "tools/kt57-run/studio.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "tools/kt57-run/studio_browser.h"
#include "tools/kt57-run/studio_interrupts.h"
#include "tools/kt57-run/studio_life.h"
#include "tools/kt57-run/studio_page_folder.h"
#include "tools/kt57-run/studio_server.h"
#include "tools/kt57-run/studio_token.h"
#include "tools/kt57-run/studio_watch.h"

namespace kt57 {
namespace {

// A reload of the page closes its event stream and opens another within moments.
constexpr auto pageGrace = std::chrono::seconds(3);
// A save reaches the page within this and the rebuild: at once, to a person.
constexpr auto watchPeriod = std::chrono::milliseconds(100);
// 128 bits: no one guesses the address.
constexpr size_t tokenBytes = 16;

int failed(const std::string& message) {
    std::fprintf(stderr, "kt57-run: %s\n", message.c_str());
    return exitStudioFailed;
}

std::vector<std::filesystem::path> watchedFiles(const RehearsalSource& source) {
    const std::filesystem::path folder(source.directory);
    std::vector<std::filesystem::path> files = {folder / programFileName, folder / modeFileName};
    if (!source.eventsFile.empty()) files.emplace_back(source.eventsFile);
    return files;
}

}  // namespace

int runStudio(const StudioOptions& options) {
    StudioLife life(pageGrace);
    // Before any other thread starts (see ConsoleInterrupts).
    ConsoleInterrupts interrupts([&life] { life.interrupt(); });

    const std::filesystem::path page = findPageFolder();
    if (page.empty()) {
        std::string places;
        for (const auto& candidate : pageFolderCandidates()) places += (places.empty() ? "" : ", ") + candidate.string();
        return failed("the rehearsal page's files (index.html) are in none of: " + places);
    }
    TimelineRehearsal rehearsal(options.source);
    std::string error;
    if (!rehearsal.rebuild(error)) return failed(error);
    const std::string token = randomHex(tokenBytes);
    if (token.empty()) return failed("no random token: the system's random source failed");

    StudioServer server(rehearsal, life, options.source, page);
    if (!server.start(token, error)) return failed("cannot serve the rehearsal page on 127.0.0.1: " + error);
    const std::string url = server.url();
    std::printf("Rehearsal page: %s\nCtrl+C ends kt57-run; so does closing the page.\n", url.c_str());
    std::fflush(stdout);

    FileWatch watch(watchedFiles(options.source), watchPeriod, [&](const std::vector<std::string>& files) {
        std::string rebuildError;
        rehearsal.rebuild(rebuildError);
        server.announceChange(files, rebuildError);
    });
    if (options.openBrowser && !openInBrowser(url, error)) {
        std::fprintf(stderr, "kt57-run: %s; open the address above in a browser\n", error.c_str());
    }

    const StudioEnd end = life.wait();
    server.stop();
    std::printf("%s\n", end == StudioEnd::Interrupted ? "Interrupted: the rehearsal page is no longer served."
                                                       : "The page was closed: the rehearsal page is no longer served.");
    return 0;
}

}  // namespace kt57
