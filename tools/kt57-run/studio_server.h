// The rehearsal page's server: the page's files and a small JSON API, on 127.0.0.1 alone, on a
// port the system picks, every request behind the checks of studio_access.h.
//
//   GET /TOKEN/                   the page (index.html) and the files beside it
//   GET /TOKEN/api/rehearsal      {"folder":"DIR","events":"FILE","until":MS,"version":N,"error":"..."}
//   GET /TOKEN/api/moment?at=MS   the screen and the state at MS, 0 <= MS <= until (studio_json.h)
//   GET /TOKEN/api/step?from=P&by=message|line&dir=1|-1   one step from position P: a moment
//   GET /TOKEN/api/changes?signals=out3,in0,line,running&from=MS&to=MS&buckets=N[&before=1]
//                                 the signals' changes over the span for a strip N buckets wide
//                                 (tracesJson); before=1: of the rehearsal a what-if left
//   GET /TOKEN/api/marks          error stops, events, starts and stops, the difference after a
//                                 rebuild (marksJson)
//   GET /TOKEN/api/change?signal=S&at=MS&dir=1|-1   {"at":MS}: the next or last change, or null
//   GET /TOKEN/api/why?pin=out3&at=MS                 why the pin has its value (whyJson)
//   GET /TOKEN/api/program        the program's lines, line 1 first (programJson)
//   GET /TOKEN/api/fork           {"lines":["MS event",...]}: the what-if events added
//   POST /TOKEN/api/fork          body: one events-file line; adds it and rehearses the fork
//   POST /TOKEN/api/fork/drop     back to the files' rehearsal
//   POST /TOKEN/api/fork/dismiss  forget the rehearsal the what-if left (no more greyed strip)
//   POST /TOKEN/api/fork/save     appends the what-if lines to the events file: {"saved":"FILE"}
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
