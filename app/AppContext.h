// The program-wide state of the running tool window: the data model plus the window
// handles and resources that every window procedure shares. One thread touches it.
#pragma once

#include "core/Types.h"

#include <windows.h>

// Private messages of the main window.
inline constexpr UINT WM_APP_TRAY = WM_APP + 1;             // notification-area icon; lParam = mouse message
inline constexpr UINT WM_APP_SHOW = WM_APP + 2;             // edge click: show the window
inline constexpr UINT WM_APP_PASTE = WM_APP + 3;            // paste; wParam = row of the chosen entry
inline constexpr UINT WM_APP_HOOK_KEY = WM_APP + 4;         // F7/F8 decided in the hook, acted on here; wParam = key
inline constexpr UINT WM_APP_SAVE_FAILED = WM_APP + 7;      // a file could not be written; wParam = SaveTarget
inline constexpr UINT WM_APP_FILE_CONFLICT = WM_APP + 8;    // a tab's file was changed elsewhere; wParam = tab
inline constexpr UINT WM_APP_UNREADABLE_FILES = WM_APP + 9; // start-up: files that could not be read

// Command and control identifiers shared by toolbar buttons, F-keys and child windows.
// (Resource and dialog ids live in resources/resource.h.)
enum : int {
    CMD_ALWAYS_ON_TOP = 1,
    CMD_STAY_VISIBLE = 2,
    CMD_PAUSE_HISTORY = 3,
    CMD_MOVE_TO_TOP = 40003,
    CMD_AUTO_PASTE = 104,
    CMD_CLEAR_HISTORY = 40005,
    CMD_BACKUP = 40006,
    CMD_SETTINGS = 40001,
    CMD_TOOLBAR_GAP = 999,
    CMD_ENCRYPT_TAB = 7001,
    CMD_RELOCK_TAB = 7004,
    CMD_TAB_SETTINGS = 40010,
    CTL_TOOLBAR = 100,
    CTL_MEMO_PAD = 998,
    CTL_LIST = 1004,
    CTL_TAB_STRIP = 6001,
    CTL_PASSWORD = 8001,
    CTL_UNLOCK_FOR_RUN = 8002,
    CTL_UNLOCK_FOR_GOOD = 8003,
    CTL_PASSWORD_CONFIRM = 8004,
    CTL_SEAL = 8005,
    CTL_CANCEL_SEAL = 8006,
};

// The windows of the tool window, created with the main window.
struct AppWindows {
    HWND main = nullptr;
    HWND toolbar = nullptr;
    HWND tabStrip = nullptr;
    HWND list = nullptr;
    HWND memoPad = nullptr;
    // The password panel.
    HWND lockImage = nullptr;
    HWND panelLabel = nullptr;
    HWND password = nullptr;
    HWND unlockForRun = nullptr;
    HWND unlockForGood = nullptr;
    HWND confirmLabel = nullptr;
    HWND passwordConfirm = nullptr;
    HWND seal = nullptr;
    HWND cancelSeal = nullptr;
};

// GDI+ images are kept as opaque pointers so that this header needs no GDI+ headers.
struct LockPictures {
    void* setup = nullptr;  // "lock-1.png"
    void* unlock = nullptr; // "lock-2.png"
};

extern AppState g_app;
extern AppWindows g_windows;
extern LockPictures g_lockPictures;
extern HINSTANCE g_instance;

// True when slot t (0..3) is sealed: its file is encrypted and not opened in this run.
inline bool IsSealed(int t) {
    return t >= 0 && t < kTabCount && g_app.tabs[t].encrypted;
}

// True when tab t's entries are not in memory and nothing may be written for it: sealed, or
// its file could not be read at start-up.
inline bool ContentUnavailable(int t) {
    return t >= 0 && t < kTabCount && (g_app.tabs[t].encrypted || g_app.tabs[t].unreadable);
}

// The entries the list shows: the history while historyShown, else the current tab's.
inline std::vector<HistoryItem>& ItemsInView() {
    const int t = g_app.historyShown ? 0 : g_app.currentTab;
    return g_app.tabs[(t >= 0 && t < kTabCount) ? t : 0].items;
}

// Writes the history (sealed again with its password when opened for the run). A sealed
// history is not in memory and is never written.
bool SaveLiveHistory();

// The whole text of a window or control; empty for none.
std::wstring WindowText(HWND window);

// The dots per inch of a window's monitor (GetDpiForWindow where Windows has it), else the
// screen's.
int WindowDpi(HWND window);

// The dots per inch the tool window is laid out for: its monitor's when it was created, then
// whatever WM_DPICHANGED says. All its children follow it.
int MainWindowDpi();
void SetMainWindowDpi(int dpi);

// Design sizes are given at 96 dots per inch; the tool window's children scale them with
// MainWindowDpi.
int ScaleForWindow(HWND window, int size96);

// Makes font the list font: the list, the tab strip, the memo pad and the password panel
// draw with it; the previous font is deleted unless it is the system's.
void ReplaceListFont(HFONT font);
