// kt57d.exe: the Windows shell. It registers the window class, owns the platform services and turns
// the main window's messages into calls of the shared application logic; it decides nothing itself.
#pragma once
#include <windows.h>

#include <cstdint>

#include "platform/win32/ftd2xx_library.h"
#include "platform/win32/gdi_text_surface.h"
#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_services.h"
#include "shell/application.h"

namespace kt57 {

// Everything the process keeps, owned by WinMain for the whole run.
struct Win32Shell {
    Win32Shell(HINSTANCE instance, int showCommand)
        : appInstance(instance), window(instance, showCommand, this), surface(window), timer(window) {}
    Win32Shell(const Win32Shell&) = delete;
    Win32Shell& operator=(const Win32Shell&) = delete;

    HINSTANCE appInstance;
    Ftd2xxLibrary driver;
    Win32MainWindow window;
    GdiTextSurface surface;
    Win32WindowTimer timer;
    SleepWait wait;
    AsyncModifierKeys modifiers;
    Win32Files files;
    Application app;
};

// The class "WIN32CLASS" with menu 101; the class atom, 0 on failure.
uint16_t registerMainClass(HINSTANCE instance);
// Loads the driver, wires the services and runs the shared start-up: 1 when the message loop is to run.
int startUp(Win32Shell& shell);
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kt57
