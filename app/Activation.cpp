#include "app/Activation.h"

#include "app/AppContext.h"
#include "app/MainWindow.h"
#include "core/Capture.h"
#include "ui/ItemList.h"

#include <atomic>

namespace {

bool IsShellWindowClass(const wchar_t* name) {
    for (const wchar_t* shell : {L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd", L"Progman", L"WorkerW"})
        if (wcscmp(name, shell) == 0)
            return true;
    return false;
}

// Read by the hook thread too.
std::atomic<int> g_popupMenusOpen{0};

} // namespace

bool BelongsToOtherProcess(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process != 0 && process != GetCurrentProcessId();
}

bool OwnDialogOpen(HWND mainWindow) {
    // A modal dialog or message box disables its owner, which also tells it where
    // GW_ENABLEDPOPUP finds nothing (Wine).
    if (!IsWindowEnabled(mainWindow))
        return true;
    HWND popup = GetWindow(mainWindow, GW_ENABLEDPOPUP);
    return popup && popup != mainWindow && IsWindowVisible(popup);
}

bool InEdgeArea(int area, int x, int y, int screenWidth, int screenHeight) {
    const int halfWidth = screenWidth / 2;
    const int halfHeight = screenHeight / 2;
    switch (area) {
    case 0:
        return x < halfWidth && y < 5;
    case 1:
        return x >= halfWidth && y < 5;
    case 2:
        return x < 5 && y < halfHeight;
    case 3:
        return x < 5 && y >= halfHeight;
    case 4:
        return x >= screenWidth - 5 && y < halfHeight;
    case 5:
        return x >= screenWidth - 5 && y >= halfHeight;
    default:
        return false;
    }
}

std::wstring ToClipboardLineEnds(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r') {
            out += L"\r\n";
            if (i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
        } else if (c == L'\n') {
            out += L"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

HookKey ClassifyHookKey(DWORD virtualKey, int& command) {
    command = 0;
    switch (virtualKey) {
    case VK_ESCAPE:
        return HookKey::Escape;
    case VK_F1:
        command = CMD_ALWAYS_ON_TOP;
        return HookKey::PostCommand;
    case VK_F2:
        command = CMD_STAY_VISIBLE;
        return HookKey::PostCommand;
    case VK_F3:
        command = CMD_PAUSE_HISTORY;
        return HookKey::PostCommand;
    case VK_F4:
        command = CMD_MOVE_TO_TOP;
        return HookKey::PostCommand;
    case VK_F5:
        command = CMD_AUTO_PASTE;
        return HookKey::PostCommand;
    case VK_F6:
        command = CMD_CLEAR_HISTORY;
        return HookKey::PostCommand;
    case VK_F11:
        command = CMD_BACKUP;
        return HookKey::PostCommand;
    case VK_F12:
        command = CMD_SETTINGS;
        return HookKey::PostCommand;
    case VK_F7:
    case VK_F8:
        return HookKey::TabKey;
    default:
        return HookKey::PassOn; // F9, F10 and everything else
    }
}

UINT TrackOwnPopupMenu(HMENU menu, POINT at, HWND owner) {
    ++g_popupMenusOpen;
    const UINT chosen =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr));
    --g_popupMenusOpen;
    return chosen;
}

bool OwnPopupMenuOpen() {
    return g_popupMenusOpen > 0;
}

void RememberPreviousWindow(HWND window) {
    if (!window || window == g_windows.main)
        return;
    wchar_t className[257] = {};
    GetClassNameW(window, className, 256);
    if (IsShellWindowClass(className))
        return;
    if (!BelongsToOtherProcess(window))
        return;
    g_app.previousWindow = window;
}

void CALLBACK ForegroundChanged(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD, DWORD) {
    if (event != EVENT_SYSTEM_FOREGROUND || !window)
        return;
    g_app.lastForegroundChange = GetTickCount64();
    RememberPreviousWindow(window);
}

void ChooseEntry(int row) {
    const int r = CopyEntryToClipboard(row);
    if (r < 0)
        return; // not on the clipboard: the window stays as it was
    if (g_app.AutoPaste) {
        PostMessageW(g_windows.main, WM_APP_PASTE, static_cast<WPARAM>(r), 0);
    } else if (!g_app.StayVisible) {
        PostMessageW(g_windows.main, WM_CLOSE, 0, 0);
    }
}

namespace {

const std::vector<HistoryItem>& SourceList() {
    if (g_app.historyShown)
        return g_app.tabs[0].items;
    const int t = g_app.currentTab;
    return g_app.tabs[(t == 2 || t == 3) ? t : 1].items;
}

// Puts bytes on the open clipboard in the given format; true when the clipboard took them.
bool SetClipboardBytes(UINT format, const void* data, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return false;
    bool written = false;
    if (void* target = GlobalLock(memory)) {
        memcpy(target, data, size);
        GlobalUnlock(memory);
        written = SetClipboardData(format, memory) != nullptr;
    }
    if (!written)
        GlobalFree(memory); // the clipboard owns it only after a successful SetClipboardData
    return written;
}

// A text from a tab open for the run is sealed on disk: it asks Windows' clipboard history,
// cloud clipboard and other clipboard keepers to leave it alone.
void MarkClipboardPrivate() {
    const DWORD no = 0;
    for (const wchar_t* name : {L"ExcludeClipboardContentFromMonitorProcessing", L"CanIncludeInClipboardHistory",
                                L"CanUploadToCloudClipboard"})
        if (const UINT format = RegisterClipboardFormatW(name))
            SetClipboardBytes(format, &no, sizeof(no)); // a keeper that ignores the marks is beyond our reach
}

// One attempt, as a clipboard held by another program is its business; true when our
// text is on the clipboard.
bool WriteClipboardText(const std::wstring& text, bool sealedSource) {
    if (text.empty() || !OpenClipboard(g_windows.main))
        return false;
    EmptyClipboard();
    const bool written = SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    if (written && sealedSource)
        MarkClipboardPrivate();
    CloseClipboard();
    return written;
}

} // namespace

int CopyEntryToClipboard(int row) {
    if (row < 0)
        return -1;
    const std::vector<HistoryItem>& source = SourceList();
    if (static_cast<size_t>(row) >= source.size())
        return -1;
    // Only a write that really happened may swallow the next clipboard update; otherwise
    // the user's next copy would be lost.
    const int sourceTab = g_app.historyShown ? kHistoryTab : g_app.currentTab;
    const bool sealedSource = sourceTab >= 0 && sourceTab < kTabCount && g_app.tabs[sourceTab].tempUnlocked;
    if (!WriteClipboardText(ToClipboardLineEnds(source[row].text), sealedSource)) {
        // The clipboard still holds whatever was there before (a password, perhaps): nothing
        // may be pasted now, and the entry was not used.
        MessageBeep(MB_ICONWARNING);
        return -1;
    }
    g_app.selfCopyPending = true;

    int r = row;
    if (g_app.historyShown) {
        TabSlot& history = g_app.tabs[0];
        r = PromoteEntry(history.items, row, g_app.MoveToTopOnCopy);
        SaveLiveHistory();
        FillItemList(g_windows.list, history.items);
        if (r < 0)
            return r;
    } else {
        FillItemList(g_windows.list, source);
    }
    if (r < ListRowCount(g_windows.list))
        SelectListRow(g_windows.list, r);
    return r;
}

void PasteToPreviousWindow(int row) {
    HWND target = g_app.previousWindow;
    if (target && IsWindow(target) && BelongsToOtherProcess(target)) {
        if (IsIconic(target))
            ShowWindow(target, SW_RESTORE);
        AllowSetForegroundWindow(ASFW_ANY);
        HWND foreground = GetForegroundWindow();
        const DWORD own = GetCurrentThreadId();
        const DWORD targetThread = GetWindowThreadProcessId(target, nullptr);
        const DWORD foregroundThread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
        // Attached input queues let us hand the foreground and focus to the target.
        AttachThreadInput(own, targetThread, TRUE);
        const bool attachForeground = foreground && foregroundThread != targetThread;
        if (attachForeground)
            AttachThreadInput(foregroundThread, targetThread, TRUE);
        SetForegroundWindow(target);
        BringWindowToTop(target);
        SetFocus(target);
        if (attachForeground)
            AttachThreadInput(foregroundThread, targetThread, FALSE);
        AttachThreadInput(own, targetThread, FALSE);
        for (int wait = 0; wait < 10; ++wait) {
            HWND now = GetForegroundWindow();
            if (now == target || IsChild(target, now))
                break;
            Sleep(10);
        }
        Sleep(30);
        SendPasteKeys();
    }
    if (g_app.StayVisible) {
        Sleep(30);
        SetForegroundWindow(g_windows.main);
        SetFocus(g_windows.list);
        const int rows = ListRowCount(g_windows.list);
        if (row > rows - 1)
            row = rows - 1;
        if (row >= 0)
            SelectListRow(g_windows.list, row);
    } else {
        ShowWindow(g_windows.main, SW_HIDE);
    }
}

void SendPasteKeys() {
    Sleep(30);
    auto key = [](WORD vk, bool up) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        return input;
    };
    const WORD v = 0x56;
    if (GetAsyncKeyState(VK_CONTROL) < 0) {
        INPUT inputs[] = {key(v, false), key(v, true)};
        SendInput(2, inputs, sizeof(INPUT));
    } else {
        INPUT inputs[] = {key(VK_CONTROL, false), key(v, false), key(v, true), key(VK_CONTROL, true)};
        SendInput(4, inputs, sizeof(INPUT));
    }
}
