#include "app/Activation.h"

#include "app/App.h"
#include "app/ClipboardCapture.h"
#include "core/Capture.h"
#include "tabs/TabFiles.h"
#include "ui/Ids.h"
#include "ui/ItemList.h"

#include <atomic>

namespace {

bool IsShellWindowClass(const wchar_t* name) {
    for (const wchar_t* shell : {L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd", L"Progman", L"WorkerW"})
        if (wcscmp(name, shell) == 0)
            return true;
    return false;
}

HWND g_previousWindow = nullptr;     // the paste target
uint64_t g_lastForegroundChange = 0; // GetTickCount64 milliseconds

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

uint64_t LastForegroundChange() {
    return g_lastForegroundChange;
}

void NoteForegroundChange(uint64_t when) {
    g_lastForegroundChange = when;
}

void RememberPreviousWindow(HWND window) {
    if (!window || window == MainWindowHandle())
        return;
    wchar_t className[257] = {};
    GetClassNameW(window, className, 256);
    if (IsShellWindowClass(className))
        return;
    if (!BelongsToOtherProcess(window))
        return;
    g_previousWindow = window;
}

void CALLBACK ForegroundChanged(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD, DWORD) {
    if (event != EVENT_SYSTEM_FOREGROUND || !window)
        return;
    NoteForegroundChange(GetTickCount64());
    RememberPreviousWindow(window);
}

void ChooseEntry(EntryId entry) {
    if (!CopyEntryToClipboard(entry))
        return; // not on the clipboard: the window stays as it was
    if (AppData().AutoPaste) {
        const int row = ItemListRowOf(entry);
        PostMessageW(MainWindowHandle(), WM_APP_PASTE, static_cast<WPARAM>(static_cast<INT_PTR>(row)), 0);
    } else if (!AppData().StayVisible) {
        PostMessageW(MainWindowHandle(), WM_CLOSE, 0, 0);
    }
}

namespace {

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
    if (text.empty() || !OpenClipboard(MainWindowHandle()))
        return false;
    EmptyClipboard();
    const bool written = SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    if (written && sealedSource)
        MarkClipboardPrivate();
    CloseClipboard();
    return written;
}

} // namespace

bool CopyEntryToClipboard(EntryId entry) {
    const std::vector<HistoryItem>& source = EntriesInView();
    const int index = FindEntry(source, entry);
    if (index < 0)
        return false;
    // Only a write that really happened may swallow the next clipboard update; otherwise
    // the user's next copy would be lost.
    const bool sealedSource = AppData().tabs[TabInView(AppView())].tempUnlocked;
    if (!WriteClipboardText(ToClipboardLineEnds(source[static_cast<size_t>(index)].text), sealedSource)) {
        // The clipboard still holds whatever was there before (a password, perhaps): nothing
        // may be pasted now, and the entry was not used.
        MessageBeep(MB_ICONWARNING);
        return false;
    }
    NoteSelfCopy();

    if (AppView().historyShown) {
        PromoteEntry(AppData().tabs[kHistoryTab].items, index, AppData().MoveToTopOnCopy);
        SaveSlot(kHistoryTab);
    }
    RefillList();
    SelectListRow(ListWindow(), ItemListRowOf(entry));
    return true;
}

void PasteToPreviousWindow(int row) {
    HWND target = g_previousWindow;
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
    if (AppData().StayVisible) {
        Sleep(30);
        SetForegroundWindow(MainWindowHandle());
        SetFocus(ListWindow());
        const int rows = ListRowCount(ListWindow());
        if (row > rows - 1)
            row = rows - 1;
        if (row >= 0)
            SelectListRow(ListWindow(), row);
    } else {
        ShowWindow(MainWindowHandle(), SW_HIDE);
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
