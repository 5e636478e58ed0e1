// Every identifier of the tool window in one place: its commands and child controls (one
// namespace, that of WM_COMMAND), the items of its pop-up menus, its timers and its private
// messages. No two share a value (checked at compile time below). The dialogs' own controls
// are the resource identifiers of resources/resource.h.
#pragma once

#include <windows.h>

// Commands (toolbar buttons, F-keys, the tab strip's menu, the list's unlock command) and
// the main window's child controls.
enum : int {
    CMD_ALWAYS_ON_TOP = 1,
    CMD_STAY_VISIBLE = 2,
    CMD_PAUSE_HISTORY = 3,
    CMD_MOVE_TO_TOP = 40003,
    CMD_AUTO_PASTE = 104,
    CMD_PASTE_QUEUE = 105, // 連続貼り付け (F9)
    CMD_CLEAR_HISTORY = 40005,
    CMD_BACKUP = 40006,
    CMD_SETTINGS = 40001,
    CMD_TOOLBAR_GAP = 999,
    CMD_ENCRYPT_TAB = 7001,
    CMD_UNLOCK_TAB = 7003, // the list's "パスワードを入力して復号..."
    CMD_RELOCK_TAB = 7004,
    CMD_TAB_SETTINGS = 40010,
    CTL_TOOLBAR = 100,
    CTL_MEMO_PAD = 998,
    CTL_LIST = 1004,
    CTL_EMPTY_HINT = 1006, // the hint in the empty history list
    CTL_TAB_STRIP = 6001,
    CTL_PASSWORD = 8001,
    CTL_UNLOCK_FOR_RUN = 8002,
    CTL_UNLOCK_FOR_GOOD = 8003,
    CTL_PASSWORD_CONFIRM = 8004,
    CTL_SEAL = 8005,
    CTL_CANCEL_SEAL = 8006,
    CTL_FILTER_BAR = 1010,   // the filter line: its box and the count of matches
    CTL_FILTER = 1011,       // the filter's edit box
    CTL_FILTER_COUNT = 1012, // "12 件"
};

// Items of the pop-up menus, which return them (TPM_RETURNCMD) and never send them.
enum : int {
    TRAY_SHOW = 9101,
    TRAY_EXIT = 9102,
    TRAY_SETTINGS = 9103,
    TRAY_PASTE_QUEUE = 9104,
    LIST_COPY = 9201,
    LIST_EXTERNAL_EDITOR = 9202,
    LIST_DELETE = 9203,
    LIST_RELOAD = 9205,
    LIST_LOCK = 9206,
    LIST_EDIT = 9207,
    LIST_NEW = 9208,
};

// Timers of the main window.
enum : UINT_PTR {
    TIMER_CAPTURE_RETRY = 4711, // a clipboard still held by another program is read again
    TIMER_MEMO_SAVE = 4712,     // a memo pad is written after a pause in typing
    TIMER_QUIT = 4713,          // the quit goes on once the open dialogs have ended
    TIMER_PASTE = 4714,         // the automatic paste waits for its target without blocking
    TIMER_CLEAR_SECRET = 4715,  // a secret put on the clipboard is taken off again (ClearSecretSeconds)
    TIMER_FOLDER_SETTLE = 4716, // the data folder changed: looked at once the writer is done
    TIMER_FOLDER_POLL = 4717,   // a folder that cannot be watched is looked at now and then
    TIMER_SESSION_WATCH = 4718, // the session's notifications are asked for again (too early at log-on)
    TIMER_QUEUE_PUT = 4719,     // 連続貼り付け: the first text goes (back) on the clipboard
    TIMER_QUEUE_PAUSE = 4720,   // ... a paste key's release is waited out
};

// The global hotkey and the notification-area icon of the main window.
inline constexpr int kHotkeyId = 1;
inline constexpr UINT kTrayIconId = 1;

// Private messages of the main window.
inline constexpr UINT WM_APP_TRAY = WM_APP + 1;             // notification-area icon; lParam = mouse message
inline constexpr UINT WM_APP_SHOW = WM_APP + 2;             // edge click; wParam = the window in front then
inline constexpr UINT WM_APP_PASTE = WM_APP + 3;            // paste; wParam = row of the chosen entry, or -1
inline constexpr UINT WM_APP_HIDE = WM_APP + 5;             // save the rectangle and hide (Esc, outside click)
inline constexpr UINT WM_APP_TAB_KEY = WM_APP + 6;          // F7 or F8; wParam = the virtual key
inline constexpr UINT WM_APP_SAVE_FAILED = WM_APP + 7;      // a file could not be written; wParam = save target
inline constexpr UINT WM_APP_FOLDER_CHANGED = WM_APP + 8;   // a data file or a conflict copy changed in the folder
inline constexpr UINT WM_APP_UNREADABLE_FILES = WM_APP + 9; // start-up: files that could not be read
inline constexpr UINT WM_APP_ESCAPE = WM_APP + 10;          // Esc: the memo pad, the filter, else the window
inline constexpr UINT WM_APP_STARTED = WM_APP + 11;         // the loop runs; wParam = 1 on a first run
inline constexpr UINT WM_APP_CLIPBOARD_READ = WM_APP + 12;  // the clipboard reader's result; lParam owned by the handler
inline constexpr UINT WM_APP_KEY_COMMAND = WM_APP + 13;     // an F-key seen by the keyboard hook; wParam = command
inline constexpr UINT WM_APP_PASTE_KEY = WM_APP + 14;       // a paste chord down (wParam 1) or up; lParam = chord

// Private messages of the settings dialog.
inline constexpr UINT WM_APP_COME_FORWARD = WM_APP + 40; // the dialog is on screen: take the foreground
inline constexpr UINT WM_APP_REFRESH_FONT = WM_APP + 41; // the dialog moved to a screen of another DPI

namespace ids_detail {
constexpr int kCommandIds[] = {CMD_ALWAYS_ON_TOP,
                               CMD_STAY_VISIBLE,
                               CMD_PAUSE_HISTORY,
                               CMD_MOVE_TO_TOP,
                               CMD_AUTO_PASTE,
                               CMD_PASTE_QUEUE,
                               CMD_CLEAR_HISTORY,
                               CMD_BACKUP,
                               CMD_SETTINGS,
                               CMD_TOOLBAR_GAP,
                               CMD_ENCRYPT_TAB,
                               CMD_UNLOCK_TAB,
                               CMD_RELOCK_TAB,
                               CMD_TAB_SETTINGS,
                               CTL_TOOLBAR,
                               CTL_MEMO_PAD,
                               CTL_LIST,
                               CTL_EMPTY_HINT,
                               CTL_TAB_STRIP,
                               CTL_PASSWORD,
                               CTL_UNLOCK_FOR_RUN,
                               CTL_UNLOCK_FOR_GOOD,
                               CTL_PASSWORD_CONFIRM,
                               CTL_SEAL,
                               CTL_CANCEL_SEAL,
                               CTL_FILTER_BAR,
                               CTL_FILTER,
                               CTL_FILTER_COUNT,
                               TRAY_SHOW,
                               TRAY_EXIT,
                               TRAY_SETTINGS,
                               TRAY_PASTE_QUEUE,
                               LIST_COPY,
                               LIST_EXTERNAL_EDITOR,
                               LIST_DELETE,
                               LIST_RELOAD,
                               LIST_LOCK,
                               LIST_EDIT,
                               LIST_NEW,
                               static_cast<int>(TIMER_CAPTURE_RETRY),
                               static_cast<int>(TIMER_MEMO_SAVE),
                               static_cast<int>(TIMER_QUIT),
                               static_cast<int>(TIMER_PASTE),
                               static_cast<int>(TIMER_CLEAR_SECRET),
                               static_cast<int>(TIMER_FOLDER_SETTLE),
                               static_cast<int>(TIMER_FOLDER_POLL),
                               static_cast<int>(TIMER_SESSION_WATCH),
                               static_cast<int>(TIMER_QUEUE_PUT),
                               static_cast<int>(TIMER_QUEUE_PAUSE)};

template <typename T, size_t N> constexpr bool AllDifferent(const T (&values)[N]) {
    for (size_t i = 0; i < N; ++i)
        for (size_t j = i + 1; j < N; ++j)
            if (values[i] == values[j])
                return false;
    return true;
}
static_assert(AllDifferent(kCommandIds), "two identifiers of the tool window share a value");

constexpr UINT kMessages[] = {WM_APP_TRAY,      WM_APP_SHOW,         WM_APP_PASTE,          WM_APP_HIDE,
                              WM_APP_TAB_KEY,   WM_APP_SAVE_FAILED,  WM_APP_FOLDER_CHANGED, WM_APP_UNREADABLE_FILES,
                              WM_APP_ESCAPE,    WM_APP_STARTED,      WM_APP_CLIPBOARD_READ, WM_APP_KEY_COMMAND,
                              WM_APP_PASTE_KEY, WM_APP_COME_FORWARD, WM_APP_REFRESH_FONT};
static_assert(AllDifferent(kMessages), "two private messages share a value");
} // namespace ids_detail
