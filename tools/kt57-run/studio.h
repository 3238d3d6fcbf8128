// kt57-run --studio: rehearses the program and serves the rehearsal page to the user's browser
// until the console interrupts it or the page is closed (docs/kt57-run.md).
#pragma once

#include "tools/kt57-run/studio_rehearsal.h"

namespace kt57 {

// The studio could not start: the page's files are missing, there is no scratch folder or no
// random token, or the server cannot listen on 127.0.0.1.
constexpr int exitStudioFailed = 4;

struct StudioOptions {
    RehearsalSource source;
    bool openBrowser = true;
};

// 0 after a normal end (an interrupt, or the page closed), else exitStudioFailed.
int runStudio(const StudioOptions& options);

}  // namespace kt57
