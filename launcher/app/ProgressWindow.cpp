// The window of the windowed launcher that shows a VM pack step: the application's name as its
// title, what the step does, a progress bar, the amount with the rate and the time left, and
// Cancel. It runs on a thread of its own with its own message loop, so that the step's thread
// never waits for it; the two share only the pack step state (PackProgress.h).
#include <windows.h>

#include <commctrl.h>

#include <array>

#include "ErrorBox.h"
#include "PackProgress.h"
#include "PackView.h"
#include "SystemLibrary.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

constexpr wchar_t kClassName[] = L"TarrowPackProgress";
constexpr UINT kRefreshMs = 100;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kEndMessage = WM_APP; // from the step's thread: the step has ended
constexpr int kWidth = 380;
constexpr int kHeight = 170;

enum Control : int { kStatus, kBar, kAmount, kRate, kCancel, kControlCount };
constexpr int kCancelId = 100 + kCancel;

// The progress bar class is registered by the common controls library, loaded from the system
// folder only.
void registerCommonControls() {
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const HMODULE library = loadSystemLibrary(L"comctl32.dll");
    const auto init = library ? reinterpret_cast<InitFunction>(reinterpret_cast<void (*)()>(
                                    GetProcAddress(library, "InitCommonControlsEx")))
                              : nullptr;
    const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    if (init)
        init(&classes);
}

class ProgressWindow final : public PackDisplay {
  public:
    void show(const PropertySet& settings) override {
        if (!windowsReachAPerson())
            return; // nobody would see it, nor could anyone press Cancel
        title_ = applicationTitle(&settings);
        for (std::wstring& text : shown_)
            text.clear();
        meter_ = PackRateMeter();
        marquee_ = false;
        ready_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!ready_)
            return;
        thread_.reset(CreateThread(nullptr, 0, &ProgressWindow::threadMain, this, 0, nullptr));
        // The window exists (or failed) before the step goes on, so that hide() finds it.
        if (thread_)
            WaitForMultipleObjects(2, std::array<HANDLE, 2>{ready_.get(), thread_.get()}.data(),
                                   FALSE, INFINITE);
    }

    void hide() override {
        if (!thread_)
            return;
        if (window_)
            PostMessageW(window_, kEndMessage, 0, 0);
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
        window_ = nullptr;
    }

  private:
    static DWORD WINAPI threadMain(void* self) { return static_cast<ProgressWindow*>(self)->run(); }

    DWORD run() {
        window_ = create();
        SetEvent(ready_.get());
        if (!window_)
            return 1;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (!IsDialogMessageW(window_, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        return 0;
    }

    HWND create() {
        registerCommonControls();
        WNDCLASSEXW type = {};
        type.cbSize = sizeof type;
        type.lpfnWndProc = &ProgressWindow::procedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hIcon = LoadIconW(type.hInstance, MAKEINTRESOURCEW(1));
        type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        type.lpszClassName = kClassName;
        RegisterClassExW(&type); // fails harmlessly when a second step registers it again
        const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        RECT frame = {0, 0, kWidth, kHeight};
        AdjustWindowRectEx(&frame, style, FALSE, 0);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        HWND window = CreateWindowExW(0, kClassName, title_.c_str(), style,
                                      (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                      (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                      nullptr, nullptr, type.hInstance, this);
        if (!window)
            return nullptr;
        addControls(window);
        refresh();
        SetTimer(window, kRefreshTimer, kRefreshMs, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
        return window;
    }

    void addControls(HWND window) {
        struct Layout {
            const wchar_t* type;
            DWORD style;
            int top, left, width, height;
        };
        static constexpr Layout layouts[kControlCount] = {
            {L"STATIC", SS_LEFT | SS_NOPREFIX, 12, 12, kWidth - 24, 18},
            {PROGRESS_CLASSW, 0, 36, 12, kWidth - 24, 20},
            {L"STATIC", SS_LEFT | SS_NOPREFIX, 66, 12, kWidth - 24, 18},
            {L"STATIC", SS_LEFT | SS_NOPREFIX, 88, 12, kWidth - 24, 18},
            {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kHeight - 40, kWidth - 104, 92, 28},
        };
        const HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
        for (int index = 0; index < kControlCount; ++index) {
            const Layout& at = layouts[index];
            controls_[index] = CreateWindowExW(
                0, at.type, index == kCancel ? L"Cancel" : L"", WS_CHILD | WS_VISIBLE | at.style,
                at.left, at.top, at.width, at.height, window,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + index)), nullptr, nullptr);
            SendMessageW(controls_[index], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        SendMessageW(controls_[kBar], PBM_SETRANGE32, 0, kPackBarRange);
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        }
        auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_TIMER:
            self->refresh();
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kCancelId || LOWORD(wParam) == IDCANCEL)
                self->cancel();
            return 0;
        case WM_CLOSE: // closing the window cancels, as Cancel does
            self->cancel();
            return 0;
        case kEndMessage:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    void cancel() {
        packProgress().requestCancel();
        EnableWindow(controls_[kCancel], FALSE);
        refresh();
    }

    // Shows the step's state as it is now; texts are set only when they change, so that they
    // do not flicker.
    void refresh() {
        const PackView view = meter_.sample(packProgress().snapshot(), GetTickCount64());
        setText(kStatus, packProgress().cancelRequested() ? L"Cancelling" : view.status);
        setText(kAmount, view.amount);
        setText(kRate, view.timeLeft.empty() ? view.rate : view.rate + L", " + view.timeLeft);
        const bool marquee = view.bar < 0;
        if (marquee != marquee_) {
            marquee_ = marquee;
            const LONG_PTR style = GetWindowLongPtrW(controls_[kBar], GWL_STYLE);
            SetWindowLongPtrW(controls_[kBar], GWL_STYLE,
                              marquee ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
            SendMessageW(controls_[kBar], PBM_SETMARQUEE, marquee, 0);
        }
        if (!marquee)
            SendMessageW(controls_[kBar], PBM_SETPOS, static_cast<WPARAM>(view.bar), 0);
    }

    void setText(Control control, const std::wstring& text) {
        if (shown_[control] == text)
            return;
        shown_[control] = text;
        SetWindowTextW(controls_[control], text.c_str());
    }

    // Set by show() before the thread starts.
    std::wstring title_;
    UniqueHandle ready_;
    UniqueHandle thread_;
    // Set by the window's thread before it signals `ready_`; read by the step's thread after.
    HWND window_ = nullptr;
    // The window's thread alone uses these.
    HWND controls_[kControlCount] = {};
    std::wstring shown_[kControlCount];
    PackRateMeter meter_;
    bool marquee_ = false;
};

ProgressWindow window;

// Installed before the entry point runs: the windowed launcher shows every pack step.
struct Installer {
    Installer() { installPackDisplay(&window); }
} installer;

} // namespace

} // namespace tarrow
