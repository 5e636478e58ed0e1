#include "app/InputHooks.h"

#include "app/Activation.h"
#include "app/EdgeStrip.h"
#include "app/QueueMode.h"
#include "ui/Ids.h"
#include "ui/WinHandles.h"
#include "ui/Windowing.h"

#include <wtsapi32.h>

#include <atomic>
#include <vector>

namespace {

// Set before the thread starts and never changed while it runs.
struct HookWindows {
    HWND main = nullptr;
};
HookWindows g_hookWindows;

std::atomic<int> g_enabledArea{-1};
std::atomic<bool> g_stayVisible{false};
std::atomic<bool> g_queueOn{false};

HANDLE g_thread = nullptr;
DWORD g_threadId = 0;
HANDLE g_ready = nullptr;
bool g_installed = false;
std::atomic<int> g_installs{0};

constexpr UINT kSessionWatchRetryMs = 5000;
constexpr int kSessionWatchTries = 12; // a minute: the terminal service is up long before
int g_sessionWatchTriesLeft = 0;

bool MainWindowVisible() {
    return IsWindowVisible(g_hookWindows.main) != FALSE;
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM monitors) {
    reinterpret_cast<std::vector<RECT>*>(monitors)->push_back(*rect);
    return TRUE;
}

// Read at each press: monitors come and go, and the hook must never act on an old layout.
std::vector<RECT> MonitorRectangles() {
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    PostMessageW(g_hookWindows.main, message, wParam, lParam);
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && wParam == WM_LBUTTONDOWN) {
        const POINT point = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)->pt;
        const int area = g_enabledArea.load();
        if (area >= 0 && InEdgeStrip(area, point, MonitorRectangles())) {
            // The window in front now is the paste target; the main window remembers it.
            Post(WM_APP_SHOW, reinterpret_cast<WPARAM>(GetForegroundWindow()));
        } else if (!g_stayVisible.load() && MainWindowVisible() && IsWindowEnabled(g_hookWindows.main)) {
            HWND under = WindowFromPoint(point);
            RECT rect;
            if (BelongsToOtherProcess(under) && GetWindowRect(g_hookWindows.main, &rect)) {
                const bool inside =
                    point.x >= rect.left && point.x <= rect.right && point.y >= rect.top && point.y <= rect.bottom;
                if (!inside)
                    Post(WM_APP_HIDE);
            }
        }
    }
    // The press always reaches its target.
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// 連続貼り付け: a paste chord (V or Insert with the modifiers held) the user presses, down or up,
// wherever the focus is. Told before the key reaches its window, so that the window knows of
// the key by the time the target reads the clipboard.
void WatchPasteKey(WPARAM message, const KBDLLHOOKSTRUCT& key) {
    if (!g_queueOn.load() || (key.vkCode != 'V' && key.vkCode != VK_INSERT) || (key.flags & LLKHF_INJECTED))
        return;
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const LPARAM chord = PasteChordBits(static_cast<WORD>(key.vkCode), GetAsyncKeyState(VK_CONTROL) < 0,
                                        GetAsyncKeyState(VK_SHIFT) < 0, GetAsyncKeyState(VK_MENU) < 0);
    Post(WM_APP_PASTE_KEY, down ? 1 : 0, chord);
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0)
        WatchPasteKey(wParam, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam));
    if (code < 0 || wParam != WM_KEYDOWN || !MainWindowVisible())
        return CallNextHookEx(nullptr, code, wParam, lParam);
    const DWORD key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->vkCode;
    int command = 0;
    const bool chordHeld = GetAsyncKeyState(VK_CONTROL) < 0 || GetAsyncKeyState(VK_MENU) < 0 ||
                           GetAsyncKeyState(VK_LWIN) < 0 || GetAsyncKeyState(VK_RWIN) < 0;
    const HookKey kind = ClassifyHookKey(key, chordHeld, command);
    switch (kind) {
    case HookKey::Escape:
        if (OwnDialogOpen(g_hookWindows.main) || OwnPopupMenuOpen())
            break;           // the dialog or the menu closes itself on Esc
        Post(WM_APP_ESCAPE); // the main window knows where the focus is and what Esc undoes there
        return 1;
    case HookKey::PostCommand:
    case HookKey::TabKey:
        // While a dialog of ours has the keyboard its keys are its own (the hotkey box records
        // F-keys with modifiers), and no command may run under it.
        if (OwnDialogOpen(g_hookWindows.main))
            break;
        if (kind == HookKey::PostCommand)
            Post(WM_APP_KEY_COMMAND, static_cast<WPARAM>(command));
        else
            Post(WM_APP_TAB_KEY, key);
        return 1;
    case HookKey::PassOn:
        break;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A thread message: take the hooks out and install them again.
constexpr UINT kReinstallHooks = WM_APP + 1;

struct Hooks {
    UniqueHook mouse;
    UniqueHook keyboard;
    bool Install() {
        // The old ones go first: one press must never reach two hooks of ours.
        keyboard.reset();
        mouse.reset();
        mouse.reset(SetWindowsHookExW(WH_MOUSE_LL, MouseHookProc, nullptr, 0));
        keyboard.reset(SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHookProc, nullptr, 0));
        ++g_installs;
        return mouse && keyboard;
    }
};

DWORD WINAPI HookThread(void*) {
    // Every key press and mouse event on the desktop waits for the hooks: they get the
    // processor before the program's other work, so that they answer in time.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the queue the hooks are called through
    Hooks hooks;
    g_installed = hooks.Install();
    SetEvent(g_ready);
    // Low-level hooks are called while this thread waits here for messages.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!message.hwnd && message.message == kReinstallHooks)
            hooks.Install();
        else
            DispatchMessageW(&message);
    }
    return 0;
}

// wtsapi32.dll is no KnownDLL: loaded from the system folder only, never from beside the exe.
FARPROC SessionFunction(const char* name) {
    static const HMODULE wts = LoadLibraryExW(L"wtsapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return wts ? GetProcAddress(wts, name) : nullptr;
}

} // namespace

bool StartInputHooks(HWND mainWindow) {
    if (g_thread)
        return g_installed;
    g_hookWindows = {mainWindow};
    g_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_ready)
        return false;
    g_thread = CreateThread(nullptr, 0, HookThread, nullptr, 0, &g_threadId);
    if (g_thread)
        WaitForSingleObject(g_ready, INFINITE);
    CloseHandle(g_ready);
    g_ready = nullptr;
    return g_thread && g_installed;
}

void StopInputHooks() {
    if (!g_thread)
        return;
    PostThreadMessageW(g_threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(g_thread, 5000);
    CloseHandle(g_thread);
    g_thread = nullptr;
    g_threadId = 0;
}

void ShareQueueMode(bool on) {
    g_queueOn.store(on);
}

void ShareHookOptions(int enabledArea, bool stayVisible) {
    g_enabledArea.store(enabledArea);
    g_stayVisible.store(stayVisible);
}

void ReinstallInputHooks() {
    if (g_thread)
        PostThreadMessageW(g_threadId, kReinstallHooks, 0, 0);
}

int InputHookInstalls() {
    return g_installs.load();
}

SessionWatch AfterSessionWatchTry(bool registered, int triesLeft) {
    if (registered)
        return SessionWatch::Done;
    return triesLeft > 0 ? SessionWatch::TryLater : SessionWatch::GiveUp;
}

namespace {

bool RegisterForSession(HWND mainWindow) {
    using Register = BOOL(WINAPI*)(HWND, DWORD);
    const FARPROC address = SessionFunction("WTSRegisterSessionNotification");
    return address &&
           reinterpret_cast<Register>(reinterpret_cast<void (*)()>(address))(mainWindow, NOTIFY_FOR_THIS_SESSION);
}

void TrySessionWatch(HWND mainWindow) {
    switch (AfterSessionWatchTry(RegisterForSession(mainWindow), g_sessionWatchTriesLeft)) {
    case SessionWatch::TryLater:
        --g_sessionWatchTriesLeft;
        SetTimer(mainWindow, TIMER_SESSION_WATCH, kSessionWatchRetryMs, nullptr);
        break;
    case SessionWatch::Done:
    case SessionWatch::GiveUp:
        KillTimer(mainWindow, TIMER_SESSION_WATCH);
        break;
    }
}

} // namespace

void WatchSessionForHooks(HWND mainWindow) {
    g_sessionWatchTriesLeft = kSessionWatchTries;
    TrySessionWatch(mainWindow);
}

void OnSessionWatchTimer(HWND mainWindow) {
    TrySessionWatch(mainWindow);
}

void StopWatchingSession(HWND mainWindow) {
    using Unregister = BOOL(WINAPI*)(HWND);
    if (const FARPROC address = SessionFunction("WTSUnRegisterSessionNotification"))
        reinterpret_cast<Unregister>(reinterpret_cast<void (*)()>(address))(mainWindow);
}
