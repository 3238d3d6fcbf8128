// The platform services as one table. A shell fills in what it has, once, before start-up;
// installServices hands each to the record that uses it, and an entry left empty keeps that
// record's null service, so the core never checks for a missing one.
#pragma once

#include "console/modifier_keys.h"
#include "console/text_surface.h"
#include "device/blocking_wait.h"
#include "device/ft_driver.h"
#include "engine/run_observer.h"
#include "engine/window_timer.h"
#include "sequencer/file_service.h"
#include "shell/main_window.h"

namespace kt57 {

struct Application;

struct PlatformServices {
    FtDriver* driver = nullptr;          // the eight calls
    BlockingWait* wait = nullptr;        // the link's release wait
    BlockingWait* startUpWait = nullptr; // start-up's waits; the release wait when empty
    TextSurface* surface = nullptr;
    ModifierKeys* modifiers = nullptr;
    WindowTimer* timer = nullptr;
    MainWindow* window = nullptr;
    RunObserver* observer = nullptr;
    FileService* files = nullptr;  // the program and mode files
};

void installServices(Application& app, const PlatformServices& services);

}  // namespace kt57
