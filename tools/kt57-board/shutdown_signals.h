// SIGINT, SIGTERM and SIGHUP end kt57-board cleanly: the handler only writes to a pipe, and the
// main loop (poll or the Qt event loop) watches the pipe and withdraws the registration itself.
#pragma once

namespace kt57 {

// The descriptor that becomes readable when a shutdown signal arrives, or -1 on failure.
// Also ignores SIGPIPE, so a closed standard output does not kill the board mid-frame.
int installShutdownSignals();

}  // namespace kt57
