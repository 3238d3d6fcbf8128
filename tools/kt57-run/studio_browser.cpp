#include "tools/kt57-run/studio_browser.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>
#else
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <thread>

extern char** environ;
#endif

namespace kt57 {

bool openInBrowser(const std::string& url, std::string& error) {
#ifdef _WIN32
    // ShellExecute answers a number above 32 for success.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return true;
    error = "ShellExecute failed (" + std::to_string(result) + ")";
    return false;
#else
    pid_t child = 0;
    char program[] = "xdg-open";
    std::string address = url;
    char* arguments[] = {program, address.data(), nullptr};
    const int failed = posix_spawnp(&child, program, nullptr, nullptr, arguments, environ);
    if (failed != 0) {
        error = std::string("cannot run xdg-open: ") + std::strerror(failed);
        return false;
    }
    // xdg-open may wait for the browser it starts; whatever it does is reaped without holding up
    // the studio.
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    return true;
#endif
}

}  // namespace kt57
