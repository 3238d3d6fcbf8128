// The rehearsal page's server: the page's files and a small JSON API, on 127.0.0.1 alone, on a
// port the system picks, every request behind the checks of studio_access.h.
//
//   GET /TOKEN/                   the page (index.html) and the files beside it
//   GET /TOKEN/api/rehearsal      {"folder":"DIR","events":"FILE","until":MS,"version":N,"error":"..."}
//   GET /TOKEN/api/moment?at=MS   the screen and the state at MS, 0 <= MS <= until (studio_json.h)
//   GET /TOKEN/api/events         server-sent events: "ready" as soon as the stream opens, then
//                                 "changed" each time the rehearsal was rebuilt because a file
//                                 changed on the disk: {"version":N,"files":["PATH",...],"error":"..."}
//
// "version" counts the rebuilds; "error" is the line kt57-run would print for a refused events
// file, else empty. The open event streams are what StudioLife counts as open pages.
#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/kt57-run/studio_life.h"
#include "tools/kt57-run/studio_rehearsal.h"

namespace kt57 {

class StudioServer {
public:
    StudioServer(StudioRehearsal& rehearsal, StudioLife& life, RehearsalSource source,
                 std::filesystem::path pageFolder);
    ~StudioServer();  // stop()
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    // Listens on 127.0.0.1 at a free port, behind token, and serves from threads of its own.
    // False, with the reason in error, when it cannot.
    bool start(const std::string& token, std::string& error);
    // The page's address, once started.
    std::string url() const;
    // Tells every open page that the rehearsal was rebuilt after files changed.
    void announceChange(const std::vector<std::string>& files, const std::string& error);
    // Ends the event streams and the server; waits for its threads.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kt57
