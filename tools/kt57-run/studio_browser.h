// Opens the rehearsal page in the user's default browser: xdg-open on Linux, ShellExecute on
// Windows. Neither waits for the browser, which may stay open long after the studio ends.
#pragma once
#include <string>

namespace kt57 {

// False, with a reason in error, when no browser could be asked to open url.
bool openInBrowser(const std::string& url, std::string& error);

}  // namespace kt57
