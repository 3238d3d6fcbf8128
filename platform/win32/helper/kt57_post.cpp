// kt57-post.exe: drives a running kt57d.exe from outside, the way another program or the operator
// would, for the Wine end-to-end test. It finds the main window by its class "WIN32CLASS".
//   kt57-post wait SECONDS        wait for the window; print its title
//   kt57-post gone SECONDS        wait until the window is gone
//   kt57-post title               print the window title
//   kt57-post char CODE LPARAM    post WM_CHAR (numbers in C notation: 80, 0x4B)
//   kt57-post key NAME            post WM_KEYDOWN/WM_KEYUP as typing does: G, S, C, ESC or ENTER
//   kt57-post command ID          post WM_COMMAND with the command identifier ID
//   kt57-post click X Y [ctrl|shift]  a left click at client pixel (X, Y), with the modifier held
//   kt57-post client              print the client area's screen origin and size: X Y WIDTH HEIGHT
//   kt57-post frame               print the whole window's screen origin and size: X Y WIDTH HEIGHT
// Exit codes: 0 done, 1 no window (or still there, for gone), 2 bad arguments, 3 posting failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int exitDone = 0;
constexpr int exitNoWindow = 1;
constexpr int exitUsage = 2;
constexpr int exitPostFailed = 3;

HWND findMainWindow() { return FindWindowA("WIN32CLASS", nullptr); }

int usage() {
    std::fprintf(stderr,
                 "usage: kt57-post wait SECONDS | gone SECONDS | title | char CODE LPARAM | key G|S|C|ESC|ENTER |"
                 " command ID | click X Y [ctrl|shift] | client | frame\n");
    return exitUsage;
}

bool readNumber(const char* text, unsigned long& value) {
    char* end = nullptr;
    value = std::strtoul(text, &end, 0);
    return end != text && *end == '\0';
}

int printTitle(HWND window) {
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    std::printf("%s\n", title);
    return exitDone;
}

int post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (PostMessageA(window, message, wParam, lParam) == 0) {
        std::fprintf(stderr, "kt57-post: PostMessageA failed (%lu)\n", GetLastError());
        return exitPostFailed;
    }
    return exitDone;
}

// A typed key: the keyboard's virtual key and scan code; the program's own TranslateMessage
// turns the key-down into the WM_CHAR that the operator's key would give.
int postKey(HWND window, const char* name) {
    struct Key {
        const char* name;
        UINT virtualKey;
    };
    static constexpr Key keys[] = {{"G", 'G'}, {"S", 'S'}, {"C", 'C'}, {"ESC", VK_ESCAPE}, {"ENTER", VK_RETURN}};
    for (const Key& key : keys) {
        if (std::strcmp(key.name, name) != 0) continue;
        const UINT scanCode = MapVirtualKeyA(key.virtualKey, MAPVK_VK_TO_VSC);
        const LPARAM down = static_cast<LPARAM>(1u | (scanCode << 16));
        const LPARAM up = static_cast<LPARAM>(down | (1u << 30) | (1u << 31));
        const int result = post(window, WM_KEYDOWN, key.virtualKey, down);
        if (result != exitDone) return result;
        return post(window, WM_KEYUP, key.virtualKey, up);
    }
    return usage();
}

void pressKey(WORD virtualKey, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// The program reads Ctrl and Shift with GetAsyncKeyState while it handles the click, so the key is
// really pressed (SendInput) and the click is sent, not posted: it is handled before the key goes up.
int click(HWND window, unsigned long x, unsigned long y, const char* modifier) {
    WORD key = 0;
    if (modifier != nullptr && std::strcmp(modifier, "ctrl") == 0) key = VK_CONTROL;
    if (modifier != nullptr && std::strcmp(modifier, "shift") == 0) key = VK_SHIFT;
    if (modifier != nullptr && key == 0) return usage();
    if (key != 0) pressKey(key, true);
    const LPARAM where = static_cast<LPARAM>((x & 0xFFFFu) | ((y & 0xFFFFu) << 16));
    const WPARAM buttons = MK_LBUTTON | (key == VK_CONTROL ? MK_CONTROL : 0) | (key == VK_SHIFT ? MK_SHIFT : 0);
    DWORD_PTR result = 0;
    const LRESULT sent = SendMessageTimeoutA(window, WM_LBUTTONDOWN, buttons, where, SMTO_ABORTIFHUNG, 10000, &result);
    SendMessageTimeoutA(window, WM_LBUTTONUP, buttons & ~static_cast<WPARAM>(MK_LBUTTON), where, SMTO_ABORTIFHUNG,
                        10000, &result);
    if (key != 0) pressKey(key, false);
    return sent != 0 ? exitDone : exitPostFailed;
}

int waitFor(bool present, unsigned long seconds) {
    const ULONGLONG deadline = GetTickCount64() + seconds * 1000ull;
    for (;;) {
        const HWND window = findMainWindow();
        if (present && window != nullptr) return printTitle(window);
        if (!present && window == nullptr) return exitDone;
        if (GetTickCount64() >= deadline) return exitNoWindow;
        Sleep(100);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const char* verb = argv[1];
    unsigned long first = 0;
    unsigned long second = 0;
    if (std::strcmp(verb, "wait") == 0 || std::strcmp(verb, "gone") == 0) {
        if (argc != 3 || !readNumber(argv[2], first)) return usage();
        return waitFor(verb[0] == 'w', first);
    }
    const HWND window = findMainWindow();
    if (window == nullptr) {
        std::fprintf(stderr, "kt57-post: no window of class WIN32CLASS\n");
        return exitNoWindow;
    }
    if (std::strcmp(verb, "title") == 0 && argc == 2) return printTitle(window);
    if (std::strcmp(verb, "char") == 0 && argc == 4 && readNumber(argv[2], first) && readNumber(argv[3], second)) {
        return post(window, WM_CHAR, first, static_cast<LPARAM>(second));
    }
    if (std::strcmp(verb, "key") == 0 && argc == 3) return postKey(window, argv[2]);
    if (std::strcmp(verb, "command") == 0 && argc == 3 && readNumber(argv[2], first)) {
        return post(window, WM_COMMAND, first, 0);
    }
    if (std::strcmp(verb, "click") == 0 && (argc == 4 || argc == 5) && readNumber(argv[2], first) &&
        readNumber(argv[3], second)) {
        return click(window, first, second, argc == 5 ? argv[4] : nullptr);
    }
    if (std::strcmp(verb, "client") == 0 && argc == 2) {
        RECT client = {};
        GetClientRect(window, &client);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        std::printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right - client.left, client.bottom - client.top);
        return exitDone;
    }
    if (std::strcmp(verb, "frame") == 0 && argc == 2) {
        RECT frame = {};
        GetWindowRect(window, &frame);
        std::printf("%ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
        return exitDone;
    }
    return usage();
}
