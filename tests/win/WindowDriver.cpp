// Test driver for the windows that a program shows, of any process on the desktop:
//   window_driver wait TITLE TIMEOUT_MS   waits for a visible top-level window whose title holds
//                                         TITLE; prints "found <hwnd-hex> <class>", exit 0, or
//                                         exit 1 when none shows in time
//   window_driver text TITLE              prints the window's title, then one line per child
//                                         control: its text, or "progress <pos> <min> <max>"
//                                         for a progress bar; exit 1 when there is no window
//   window_driver press TITLE BUTTON      clicks the child button whose text (without its "&"
//                                         marks) is BUTTON; exit 0 once pressed, else 1
//   window_driver probe                   creates and destroys a hidden top-level window: exit 0
//                                         when it could be made, else prints "no window, error
//                                         <code>" and exits 3 (a Wine without a graphics driver
//                                         refuses every top-level window)
// Lines are written as UTF-8.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
    const wchar_t* title;
    HWND found = nullptr;
};

// The window's text as the system keeps it, read without a message to the window: a window of
// another process whose thread is busy would hold a WM_GETTEXT (and the driver) indefinitely.
std::wstring windowText(HWND window) {
    wchar_t text[512];
    const int length = InternalGetWindowText(window, text, static_cast<int>(std::size(text)));
    return std::wstring(text, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

BOOL CALLBACK matchTopLevel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (!IsWindowVisible(window) || windowText(window).find(search->title) == std::wstring::npos)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND findWindow(const wchar_t* title) {
    Search search{title};
    EnumWindows(matchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK collectChild(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> children(HWND window) {
    std::vector<HWND> found;
    EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&found));
    return found;
}

void printLine(const std::wstring& line) {
    const std::wstring withEnd = line + L"\n";
    const int size = WideCharToMultiByte(
        CP_UTF8, 0, withEnd.data(), static_cast<int>(withEnd.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, withEnd.data(), static_cast<int>(withEnd.size()), bytes.data(),
                        size, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

// A button's caption as a person reads it: the "&" marks of its access key left out.
std::wstring withoutAccessMarks(const std::wstring& text) {
    std::wstring plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

// The window whose title holds `title`, looked for during at most `timeout` ms: a Wine process's
// first listing of the desktop's windows may come back empty while it connects to the desktop.
HWND findWindowWithin(const wchar_t* title, DWORD timeout) {
    const ULONGLONG deadline = GetTickCount64() + timeout;
    for (;;) {
        if (HWND window = findWindow(title))
            return window;
        if (GetTickCount64() >= deadline)
            return nullptr;
        Sleep(50);
    }
}

constexpr DWORD kShownWindowMs = 5000; // for a window the caller already saw

int waitFor(const wchar_t* title, DWORD timeout) {
    HWND window = findWindowWithin(title, timeout);
    if (!window)
        return 1;
    wchar_t line[320];
    swprintf(line, std::size(line), L"found %llx %ls",
             static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
             className(window).c_str());
    printLine(line);
    return 0;
}

int printTexts(const wchar_t* title) {
    HWND window = findWindowWithin(title, kShownWindowMs);
    if (!window)
        return 1;
    printLine(windowText(window));
    for (HWND child : children(window)) {
        if (className(child) == PROGRESS_CLASSW) {
            // The limits come back as the message's results: a pointer to a PBRANGE would not
            // reach into another process.
            const auto low = SendMessageW(child, PBM_GETRANGE, TRUE, 0);
            const auto high = SendMessageW(child, PBM_GETRANGE, FALSE, 0);
            const auto position = SendMessageW(child, PBM_GETPOS, 0, 0);
            printLine(L"progress " + std::to_wstring(position) + L" " + std::to_wstring(low) +
                      L" " + std::to_wstring(high));
        } else {
            printLine(windowText(child));
        }
    }
    return 0;
}

// Posts the button's click to its parent, as the button itself does when it is clicked: a
// posted command needs neither the focus nor an active window, which the test desktop may not
// give.
int press(const wchar_t* title, const std::wstring& button) {
    HWND window = findWindowWithin(title, kShownWindowMs);
    if (!window)
        return 1;
    for (HWND child : children(window)) {
        if (className(child) != L"Button" || withoutAccessMarks(windowText(child)) != button)
            continue;
        const auto id = static_cast<WORD>(GetDlgCtrlID(child));
        return PostMessageW(GetParent(child), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                            reinterpret_cast<LPARAM>(child))
                   ? 0
                   : 1;
    }
    return 1;
}

int probe() {
    HWND window = CreateWindowExW(0, L"STATIC", L"window_driver probe", WS_POPUP, 0, 0, 10, 10,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        printLine(L"no window, error " + std::to_wstring(GetLastError()));
        return 3;
    }
    DestroyWindow(window);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"wait" && argc == 4)
        return waitFor(argv[2], static_cast<DWORD>(_wtoi(argv[3])));
    if (command == L"text" && argc == 3)
        return printTexts(argv[2]);
    if (command == L"press" && argc == 4)
        return press(argv[2], argv[3]);
    if (command == L"probe" && argc == 2)
        return probe();
    std::fputs(
        "usage: window_driver wait TITLE TIMEOUT_MS | text TITLE | press TITLE BUTTON | probe\n",
        stderr);
    return 2;
}
