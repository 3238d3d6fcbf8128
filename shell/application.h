// The application logic every platform shell shares: start-up, the handling of each event, repaint,
// the end-program command and destruction. A shell only turns its input into calls of these and
// provides the services.
#pragma once
#include <cstdint>

#include "device/blocking_wait.h"
#include "engine/sequencer.h"
#include "sequencer/file_service.h"
#include "shell/main_window.h"
#include "shell/shell_event.h"
#include "shell/shell_state.h"

namespace kt57 {

struct Application {
    Sequencer sequencer;
    ShellState shell;
    MainWindow* window = &noMainWindow();    // platform service
    BlockingWait* wait = &noBlockingWait();  // platform service: start-up's waits
    FileService* files = &standardFiles();   // platform service: the program and mode files
    const char* directory = ".";   // where KT57Data.txt and KT57Mode.txt live
};

// 1 when the message loop is to run, 0 when the window could not be created.
int startUp(Application& app);
// Handles one event of the main window, as the window procedure handles its message.
void handleEvent(Application& app, const ShellEvent& event);

}  // namespace kt57
