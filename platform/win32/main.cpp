// kt57d.exe: WinMain, the window class, start-up and the window procedure. All behaviour lives in
// the shared application logic; this file only hands it the events the messages stand for.
#include <windows.h>

#include "platform/win32/menu_resource.h"
#include "platform/win32/timer_resolution.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/window_messages.h"
#include "shell/services.h"

namespace kt57 {

static_assert(KT57_END_PROGRAM_COMMAND == endProgramCommand);
static_assert(WM_DESTROY == messageDestroy && WM_PAINT == messagePaint && WM_COMMAND == messageCommand &&
              WM_CHAR == messageChar && WM_TIMER == messageTimer && WM_LBUTTONDOWN == messageLeftButtonDown &&
              WM_LBUTTONDBLCLK == messageLeftButtonDoubleClick);

uint16_t registerMainClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    // The program carries no icon 32512, so the system's default icon shows.
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(32512));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(KT57_MAIN_MENU);
    windowClass.lpszClassName = mainClassName;
    return static_cast<uint16_t>(RegisterClassA(&windowClass));
}

int startUp(Win32Shell& shell) {
    // A missing FTD2XX.dll or entry point is no board: the attempts fail and the no-connection text shows.
    shell.driver.load();
    Application& app = shell.app;
    PlatformServices services;
    services.driver = &shell.driver;
    services.wait = &shell.wait;
    services.surface = &shell.surface;
    services.modifiers = &shell.modifiers;
    services.timer = &shell.timer;
    services.window = &shell.window;
    services.files = &shell.files;
    installServices(app, services);
    app.directory = ".";  // the working directory holds KT57Data.txt and KT57Mode.txt
    return kt57::startUp(app);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* shell = reinterpret_cast<Win32Shell*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (shell != nullptr) {
        ShellEvent event;
        if (translateWindowMessage(message, wParam, static_cast<int64_t>(lParam), event)) {
            if (message == WM_PAINT) {
                // The paint's own context is only validated; the console draws through its own.
                PAINTSTRUCT paint;
                BeginPaint(window, &paint);
                EndPaint(window, &paint);
            }
            handleEvent(shell->app, event);
        }
        if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kt57

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR /*commandLine*/, int showCommand) {
    const kt57::TimerResolution timerResolution;
    if (previousInstance == nullptr && kt57::registerMainClass(instance) == 0) return 0;
    kt57::Win32Shell shell(instance, showCommand);  // outlives the window, which is gone when the loop ends
    if (kt57::startUp(shell) == 0) return 0;
    MSG message;
    for (;;) {
        const BOOL fetched = GetMessageA(&message, nullptr, 0, 0);
        if (fetched == 0) return static_cast<int>(message.wParam);  // the quit request's exit code
        if (fetched < 0) return 0;  // only with an invalid filter window, which this loop never passes
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
