#include "app/MainWindow.h"

#include "app/Activation.h"
#include "app/AppContext.h"
#include "app/ClipboardCapture.h"
#include "app/InputHooks.h"
#include "app/Layout.h"
#include "app/Saving.h"
#include "app/WindowPlacement.h"
#include "resources/resource.h"
#include "storage/Backup.h"
#include "storage/Settings.h"
#include "storage/SlotFile.h"
#include "tabs/TabLock.h"
#include "tabs/TabSettingsDialog.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"
#include "ui/ItemList.h"
#include "ui/ListActions.h"
#include "ui/SettingsDialog.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

namespace {

constexpr UINT kTrayIconId = 1;
constexpr COLORREF kContentBackground = RGB(243, 243, 243);
constexpr uint64_t kTrayClickAfterAutoHideMs = 250;
constexpr UINT_PTR kQuitTimer = 4713;
constexpr UINT kQuitRetryMs = 100;

HWINEVENTHOOK g_foregroundHook = nullptr;
HBRUSH g_memoBrush = nullptr;
UINT g_taskbarCreated = 0;

// ---- small helpers ------------------------------------------------------------------

// The focus rule of every show and of every return from a dialog.
void FocusContent() {
    FocusTabView(FocusCause::Show);
}

// Shows the window, first moving it back onto a monitor when its rectangle lies on none
// (a monitor since removed, absurd values in a hand-edited settings.ini).
void ShowMainWindow(int showCommand) {
    if (!IsWindowVisible(g_windows.main)) {
        RECT rect;
        GetWindowRect(g_windows.main, &rect);
        const WindowRect current{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
        const WindowRect reachable = ReachableRectOnThisDesktop(current);
        if (!(reachable == current))
            SetWindowPos(g_windows.main, nullptr, reachable.x, reachable.y, reachable.width, reachable.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(g_windows.main, showCommand);
}

void HideMainWindow() {
    FlushMemoSeal();
    SaveSettingsWithWindowRect();
    ShowWindow(g_windows.main, SW_HIDE);
}

HFONT MakeListFont(const std::wstring& faceName, int pointSize) {
    LOGFONTW font = {};
    HDC screen = GetDC(nullptr);
    font.lfHeight = -MulDiv(pointSize, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    font.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy_s(font.lfFaceName, faceName.c_str(), _TRUNCATE);
    return CreateFontIndirectW(&font);
}

bool OwnsListFont() {
    return g_app.listFont && g_app.listFont != static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The list font made for `from` dots per inch, made again for `to` (the system's default
// font included, which Windows makes for the screen's).
void RescaleListFont(int from, int to) {
    LOGFONTW font = {};
    if (from == to || !g_app.listFont || !GetObjectW(g_app.listFont, sizeof(font), &font))
        return;
    font.lfHeight = MulDiv(font.lfHeight, to, from);
    font.lfWidth = MulDiv(font.lfWidth, to, from);
    ReplaceListFont(CreateFontIndirectW(&font));
}

// WM_DPICHANGED: the window went to a monitor of another scale, or the scale changed. It
// takes the rectangle Windows suggests, and every size, font and picture follows.
void OnDpiChanged(HWND window, int dpi, const RECT* suggested) {
    const int old = MainWindowDpi();
    if (dpi > 0 && dpi != old) {
        SetMainWindowDpi(dpi);
        RescaleListFont(old, dpi);
        RescaleToolbar(dpi);
    }
    if (suggested)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowTab(g_app.currentTab); // the layout, the panel and the list's columns
}

// ---- creation and destruction -------------------------------------------------------

HWND CreateChild(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int id, HWND parent) {
    return CreateWindowExW(exStyle, className, text, style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
}

bool OnCreate(HWND window) {
    g_windows.main = window;
    SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | WS_CLIPCHILDREN);

    const AppSettings settings = LoadStartupSettings();
    const WindowRect rect = ReachableRectOnThisDesktop(settings.Rect);
    SetWindowPos(window, nullptr, rect.x, rect.y, rect.width, rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!g_app.listFont)
        g_app.listFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SetMainWindowDpi(WindowDpi(window));
    RescaleListFont(ScreenDpi(), MainWindowDpi()); // made for the screen; the window's monitor may differ

    g_app.currentTab = 0;
    g_app.historyShown = true;
    // The memo pad shows its tab's entry whenever that tab is put on screen: the loader has
    // decoded the file once, in whatever encoding it came.
    for (TabSlot& slot : g_app.tabs)
        LoadSlot(slot, g_app.MaxHistory);
    TabSlot& history = g_app.tabs[kHistoryTab];

    CreateToolbar(window);
    g_windows.list = CreateItemList(window);
    g_windows.memoPad = CreateChild(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                    WS_CHILD | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                                    CTL_MEMO_PAD, window);
    SendMessageW(g_windows.memoPad, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.listFont), TRUE);
    LayoutMainWindow(window);
    FillItemList(g_windows.list, history.items);

    AddClipboardFormatListener(window);
    CreatePasswordPanel(window);
    InstallItemListSubclass(g_windows.list);
    g_windows.tabStrip = CreateTabStrip(window, ToolbarHeight(), rect.width, g_app.listFont);

    if (g_app.AlwaysOnTop)
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (g_app.HotkeyMod && g_app.HotkeyKey)
        RegisterHotKey(window, kHotkeyId, g_app.HotkeyMod, g_app.HotkeyKey); // a key held elsewhere is no error
    ShareHookOptions(g_app.EnabledArea, g_app.StayVisible);
    ShowWindow(window, SW_HIDE);
    g_foregroundHook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, ForegroundChanged, 0,
                                       0, WINEVENT_OUTOFCONTEXT);
    LayoutMainWindow(window);
    PostMessageW(window, WM_APP_UNREADABLE_FILES, 0, 0); // said once, when the loop runs
    return true;
}

void OnDestroy(HWND window) {
    g_app.destroying = true;
    DestroyPasswordPanelProps();
    if (g_foregroundHook) {
        UnhookWinEvent(g_foregroundHook);
        g_foregroundHook = nullptr;
    }
    RemoveItemListSubclass(g_windows.list);
    RemoveTabStripSubclass();
    ForgetTabStripFont(); // the list font goes below; the strip must not draw with it

    // Only what has not reached its file yet is written: a file the user changed in another
    // program is not overwritten by an exit. The quit command has asked about everything
    // already; another way of ending asks nothing.
    SaveUnsavedChanges(false);
    // The tabs open for the run end with the run; nothing after this can write them.
    KillTimer(window, kMemoSealTimer);
    KillTimer(window, kQuitTimer);
    ForgetOpenedTabs();

    DestroyToolbarImages();
    if (OwnsListFont())
        DeleteObject(g_app.listFont);
    g_app.listFont = nullptr;
    if (g_memoBrush) {
        DeleteObject(g_memoBrush);
        g_memoBrush = nullptr;
    }
    KillTimer(window, kCaptureRetryTimer);
    RemoveClipboardFormatListener(window);
    PostQuitMessage(0);
}

// ---- commands -----------------------------------------------------------------------

void OnMemoPadChanged() {
    const int t = g_app.currentTab;
    if (!g_windows.memoPad || g_app.destroying || g_app.settingMemoText || t < 1 || t >= kTabCount ||
        g_app.tabs[t].type != TabType::MemoPad || ContentUnavailable(t))
        return;
    TabSlot& slot = g_app.tabs[t];
    MemoTextIntoItems(slot);
    if (slot.tempUnlocked) {
        ScheduleMemoSeal(t); // sealing costs two key derivations: not on every keystroke
        return;
    }
    SaveSlot(t);
}

bool* ToggleFlag(int command) {
    switch (command) {
    case CMD_ALWAYS_ON_TOP:
        return &g_app.AlwaysOnTop;
    case CMD_STAY_VISIBLE:
        return &g_app.StayVisible;
    case CMD_PAUSE_HISTORY:
        return &g_app.PauseHistory;
    case CMD_MOVE_TO_TOP:
        return &g_app.MoveToTopOnCopy;
    case CMD_AUTO_PASTE:
        return &g_app.AutoPaste;
    default:
        return nullptr;
    }
}

void ClearHistory(HWND window) {
    if (!g_app.historyShown)
        return;
    if (IsSealed(g_app.currentTab)) {
        MessageBoxW(window, L"暗号化中は使用出来ません。", L"エラー", MB_ICONERROR);
        return;
    }
    if (MessageBoxW(window, L"履歴をすべて削除しますか？", L"確認", MB_ICONQUESTION | MB_YESNO) == IDYES) {
        std::vector<HistoryItem>& items = g_app.tabs[0].items;
        items.erase(std::remove_if(items.begin(), items.end(), [](const HistoryItem& item) { return !item.locked; }),
                    items.end());
        FillItemList(g_windows.list, items);
        SaveLiveHistory();
    }
    FocusContent();
}

void RunBackup(HWND window) {
    if (MessageBoxW(window, L"バックアップしますか？", L"確認", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    if (BackupData())
        MessageBoxW(window, L"バックアップが完了しました。", L"情報", MB_ICONINFORMATION);
    else
        MessageBoxW(window, L"バックアップに失敗しました。", L"エラー", MB_ICONERROR);
    FocusContent();
}

void OnCommand(HWND window, int id, int code) {
    if (id == CTL_MEMO_PAD) {
        if (code == EN_CHANGE)
            OnMemoPadChanged();
        return;
    }
    if (bool* flag = ToggleFlag(id)) {
        *flag = !*flag;
        UpdateToggleImage(id, *flag);
        if (id == CMD_ALWAYS_ON_TOP)
            SetWindowPos(window, *flag ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else if (id == CMD_CLEAR_HISTORY) {
        ClearHistory(window);
    } else if (id == CMD_BACKUP) {
        RunBackup(window);
    } else if (id == CMD_SETTINGS) {
        OpenSettingsDialog(window);
        FocusContent();
    } else if (code == BN_CLICKED) {
        switch (id) {
        case CTL_UNLOCK_FOR_RUN:
            OnUnlockCommand(true);
            break;
        case CTL_UNLOCK_FOR_GOOD:
            OnUnlockCommand(false);
            break;
        case CTL_SEAL:
            OnSealCommand();
            break;
        case CTL_CANCEL_SEAL:
            OnCancelSealCommand();
            break;
        default:
            break;
        }
    }
    ShareHookOptions(g_app.EnabledArea, g_app.StayVisible);
    SaveSettingsWithWindowRect();
}

// ---- notifications ------------------------------------------------------------------

const wchar_t* ToolbarTip(UINT_PTR id) {
    switch (id) {
    case CMD_ALWAYS_ON_TOP:
        return L"最前面表示のオン/オフ (F1)";
    case CMD_STAY_VISIBLE:
        return L"常時表示のオン/オフ (F2)";
    case CMD_PAUSE_HISTORY:
        return L"履歴記録のオン/オフ (F3)";
    case CMD_MOVE_TO_TOP:
        return L"コピーで先頭に移動のオン/オフ (F4)";
    case CMD_AUTO_PASTE:
        return L"自動貼り付けのオン/オフ (F5)";
    case CMD_CLEAR_HISTORY:
        return L"全履歴を削除 (F6)";
    case CMD_BACKUP:
        return L"設定とデータをバックアップ (F11)";
    case CMD_SETTINGS:
        return L"設定を開く (F12)";
    default:
        return nullptr;
    }
}

LRESULT OnNotify(HWND window, NMHDR* header) {
    if (header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        if (const wchar_t* tip = ToolbarTip(header->idFrom))
            wcsncpy_s(info->szText, tip, _TRUNCATE);
        return 0;
    }
    if (header->hwndFrom == g_windows.toolbar && header->code == NM_CUSTOMDRAW)
        return OnToolbarCustomDraw(reinterpret_cast<NMCUSTOMDRAW*>(header));
    if (header->idFrom != CTL_LIST)
        return DefWindowProcW(window, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
    switch (header->code) {
    case LVN_GETDISPINFOW:
        return OnItemListGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
    case LVN_ODFINDITEMW:
        return OnItemListFindItem(reinterpret_cast<NMLVFINDITEMW*>(header));
    case NM_CUSTOMDRAW:
        return OnItemListCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_RETURN)
            ChooseRow(SelectedListRow(g_windows.list));
        return 0;
    case NM_CLICK:
        ChooseRow(RowUnderPointer(g_windows.list));
        return 0;
    case LVN_BEGINDRAG:
        BeginRowDrag(g_windows.list, reinterpret_cast<NMLISTVIEW*>(header)->iItem);
        return 0;
    default:
        return 0;
    }
}

// ---- quitting -----------------------------------------------------------------------

BOOL CALLBACK CancelOwnDialog(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (IsWindowVisible(window) && wcscmp(className, L"#32770") == 0) {
        // キャンセル: a dialog's edits are dropped; a question without that answer is left to
        // the user, and the quit waits for it.
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        *reinterpret_cast<bool*>(found) = true;
    }
    return TRUE;
}

// Ends the dialogs, message boxes and menus of ours that are open; true when there were any.
bool CancelOwnDialogs() {
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), CancelOwnDialog, reinterpret_cast<LPARAM>(&found));
    if (OwnPopupMenuOpen()) {
        EndMenu();
        found = true;
    }
    return found;
}

// "終了": a dialog still open would go on after the window is gone and save what it holds,
// with the passwords of tabs open for the run already wiped. So the open dialogs end first
// (as キャンセル) and the quit goes on from the message loop once their loops are left.
void RequestQuit(HWND window) {
    if (CancelOwnDialogs()) {
        SetTimer(window, kQuitTimer, kQuitRetryMs, nullptr);
        return;
    }
    KillTimer(window, kQuitTimer);
    SaveUnsavedChanges(true);
    if (CancelOwnDialogs()) { // a question asked meanwhile may have opened something
        SetTimer(window, kQuitTimer, kQuitRetryMs, nullptr);
        return;
    }
    RemoveTrayIcon(window);
    DestroyWindow(window);
}

// The session ends (log-off, shut-down): what has not reached its file yet is written now,
// the last keystrokes of a memo pad open for the run included.
void OnEndSession() {
    SaveUnsavedChanges(false);
}

// ---- showing and hiding -------------------------------------------------------------

// The dialog or message box of ours that has the keyboard (the enabled one when a message
// box sits over a dialog); null when none is open.
BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (IsWindowVisible(window) && IsWindowEnabled(window) && wcscmp(className, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// While a dialog of ours is open, the hotkey and the tray icon bring it to the front: hiding
// the window under it would leave the dialog alone on the screen.
bool BringOwnDialogForward(HWND window) {
    if (!OwnDialogOpen(window))
        return false;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog)
        return false;
    if (!IsWindowVisible(window))
        ShowMainWindow(SW_SHOWNA);
    SetForegroundWindow(dialog);
    return true;
}

void OnTray(HWND window, UINT mouseMessage) {
    if (mouseMessage == WM_LBUTTONUP) {
        // The click that deactivated the window has just hidden it: don't show it again.
        if (GetTickCount64() - g_app.lastAutoHide < kTrayClickAfterAutoHideMs)
            return;
        if (BringOwnDialogForward(window))
            return;
        if (IsWindowVisible(window))
            ShowWindow(window, SW_HIDE);
        else
            ShowToolWindow();
    } else if (mouseMessage == WM_RBUTTONUP) {
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 1, L"表示");
        AppendMenuW(menu, MF_STRING, 3, L"設定...");
        AppendMenuW(menu, MF_STRING, 2, L"終了");
        POINT cursor;
        GetCursorPos(&cursor);
        SetForegroundWindow(window); // otherwise the menu does not close when clicked away
        const UINT chosen = TrackOwnPopupMenu(menu, cursor, window);
        DestroyMenu(menu);
        PostMessageW(window, WM_NULL, 0, 0);
        if (chosen == 1) {
            ShowToolWindow();
        } else if (chosen == 2) {
            RequestQuit(window);
        } else if (chosen == 3) {
            OpenSettingsDialog(window);
            ShareHookOptions(g_app.EnabledArea, g_app.StayVisible);
        }
    }
}

void OnHotkey(HWND window) {
    if (BringOwnDialogForward(window))
        return;
    if (IsWindowVisible(window)) {
        HideMainWindow();
        return;
    }
    RememberPreviousWindow(GetForegroundWindow());
    ShowMainWindow(SW_SHOW);
    SetForegroundWindow(window);
    FocusContent();
}

void OnEdgeShow(HWND window, HWND foreground) {
    RememberPreviousWindow(foreground); // in front when the edge was clicked
    if (!IsWindowVisible(window))
        ShowMainWindow(SW_SHOWNORMAL);
    AllowSetForegroundWindow(ASFW_ANY);
    // A zero move counts as input, which lets this process take the foreground.
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof(input));
    SetForegroundWindow(window);
    FocusContent();
}

LRESULT OnActivate(HWND window, WPARAM wParam, LPARAM lParam) {
    HWND other = reinterpret_cast<HWND>(lParam);
    if (LOWORD(wParam) != WA_INACTIVE) {
        RememberPreviousWindow(other);
        FocusContent();
        return 0;
    }
    DWORD otherProcess = 0;
    if (other)
        GetWindowThreadProcessId(other, &otherProcess);
    HWND popup = GetWindow(window, GW_ENABLEDPOPUP);
    if (otherProcess == GetCurrentProcessId() || (popup && popup != window))
        return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam);
    if (g_app.encryptSetupTab != -1) {
        CancelEncryptionSetup();
        ShowTab(g_app.currentTab);
    }
    if (!g_app.StayVisible) {
        FlushMemoSeal();
        ShowWindow(window, SW_HIDE);
        g_app.lastAutoHide = GetTickCount64();
    }
    return 0;
}

// Every show starts at the top. The focus follows the activation (WM_ACTIVATE), which a
// window shown without taking the foreground does not get.
void OnShowWindow(BOOL shown) {
    // The window itself is not visible yet: the list's own style tells whether it is in view.
    const bool listInView = (GetWindowLongPtrW(g_windows.list, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown && listInView && IsWindowEnabled(g_windows.list) && ListRowCount(g_windows.list) > 0)
        SelectListRow(g_windows.list, 0, true);
}

void OnTabKey(WPARAM key) {
    if (key == VK_F7)
        OnSealKey();
    else if (key == VK_F8)
        OpenTabSettingsForCurrentTab();
}

LRESULT OnCtlColor(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(lParam) != g_windows.memoPad || !g_windows.memoPad)
        return DefWindowProcW(window, message, wParam, lParam);
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, kContentBackground);
    if (!g_memoBrush)
        g_memoBrush = CreateSolidBrush(kContentBackground);
    return reinterpret_cast<LRESULT>(g_memoBrush);
}

} // namespace

// ---- public -------------------------------------------------------------------------

AppSettings LoadStartupSettings() {
    AppSettings settings;
    FileRead read = FileRead::Missing;
    const bool loaded = LoadSettings(settings, &read);
    NoteSettingsRead(read);
    if (loaded) {
        ApplyLoadedSettings(settings);
        return settings;
    }
    // First start: the default size is meant at 96 dots per inch.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    settings.Rect.width = MulDiv(settings.Rect.width, dpi, 96);
    settings.Rect.height = MulDiv(settings.Rect.height, dpi, 96);
    return settings;
}

void ApplyLoadedSettings(const AppSettings& s) {
    static_cast<AppOptions&>(g_app) = s;
    for (int t = 0; t < kTabCount; ++t) {
        if (!s.TabNames[t].empty())
            g_app.tabs[t].name = s.TabNames[t];
        g_app.tabs[t].type = TabTypeFromInt(s.TabTypes[t]);
    }
    // The history tab is always the list of captured texts.
    g_app.tabs[0].type = TabType::Template;
    if (!s.FontName.empty() && s.FontSize != 0) {
        if (OwnsListFont())
            DeleteObject(g_app.listFont);
        g_app.listFont = MakeListFont(s.FontName, s.FontSize);
    }
}

AppSettings CollectSettings(const WindowRect& rect) {
    AppSettings s;
    static_cast<AppOptions&>(s) = g_app;
    s.Rect = rect;
    for (int t = 0; t < kTabCount; ++t) {
        s.TabNames[t] = g_app.tabs[t].name;
        s.TabTypes[t] = static_cast<int32_t>(g_app.tabs[t].type);
    }
    if (g_app.listFont) {
        LOGFONTW font = {};
        if (GetObjectW(g_app.listFont, sizeof(font), &font)) {
            s.FontName = font.lfFaceName;
            // Points at the dots per inch the font was made for.
            s.FontSize = -MulDiv(font.lfHeight, 72, g_windows.main ? MainWindowDpi() : ScreenDpi());
        }
    }
    return s;
}

void SaveSettingsWithRect(int x, int y, int width, int height) {
    WindowRect& saved = g_app.savedRect;
    if (x != -1)
        saved.x = x;
    if (y != -1)
        saved.y = y;
    if (width != -1)
        saved.width = width;
    if (height != -1)
        saved.height = height;
    if (SettingsMayBeWritten())
        NoteSettingsSaved(AppLogic::SaveSettings(CollectSettings(saved), g_app.tabs));
}

void SaveSettingsWithWindowRect() {
    RECT rect;
    if (g_windows.main && GetWindowRect(g_windows.main, &rect))
        SaveSettingsWithRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

void ShowToolWindow() {
    RememberPreviousWindow(GetForegroundWindow());
    // With "stay visible" the window comes up beside the user's work without taking it over.
    if (!IsWindowVisible(g_windows.main))
        ShowMainWindow(g_app.StayVisible ? SW_SHOWNA : SW_SHOW);
    if (g_app.StayVisible)
        return;
    SetForegroundWindow(g_windows.main);
    FocusContent();
}

void AddTrayIcon(HWND mainWindow) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = mainWindow;
    icon.uID = kTrayIconId;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = WM_APP_TRAY;
    icon.hIcon = LoadIconW(g_instance, MAKEINTRESOURCEW(IDI_APP));
    wcsncpy_s(icon.szTip, L"Nomaclip", _TRUNCATE);
    Shell_NotifyIconW(NIM_ADD, &icon); // without a notification area there is nothing to do about it
}

void RemoveTrayIcon(HWND mainWindow) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = mainWindow;
    icon.uID = kTrayIconId;
    Shell_NotifyIconW(NIM_DELETE, &icon);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if (!g_taskbarCreated)
            g_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
        OnCreate(window);
        break;
    case WM_DESTROY:
        OnDestroy(window);
        break;
    case WM_MOVE: {
        RECT rect;
        GetWindowRect(window, &rect);
        SaveSettingsWithRect(rect.left, rect.top, -1, -1);
        break;
    }
    case WM_SIZE: {
        RECT rect;
        GetWindowRect(window, &rect);
        if (!IsIconic(window)) // a minimised window's rectangle is no place to come back to
            SaveSettingsWithRect(-1, -1, rect.right - rect.left, rect.bottom - rect.top);
        ShowTab(g_app.currentTab);
        break;
    }
    case WM_ACTIVATE:
        return OnActivate(window, wParam, lParam);
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        break;
    }
    case WM_CLOSE:
        if (g_app.encryptSetupTab != -1) {
            CancelEncryptionSetup();
            ShowTab(g_app.currentTab);
        }
        if (IsWindow(window))
            HideMainWindow();
        return 0;
    case WM_SHOWWINDOW:
        OnShowWindow(static_cast<BOOL>(wParam));
        break;
    case WM_SETTINGCHANGE:
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        if (g_windows.tabStrip)
            RedrawWindow(g_windows.tabStrip, nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {ScaleForWindow(window, kMinWindowWidth), ScaleForWindow(window, kMinWindowHeight)};
        return 0;
    }
    case WM_NOTIFY:
        return OnNotify(window, reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return OnCtlColor(window, message, wParam, lParam);
    case WM_HOTKEY:
        if (wParam == kHotkeyId)
            OnHotkey(window);
        break;
    case WM_CLIPBOARDUPDATE:
        OnClipboardUpdate(window);
        return 0;
    case WM_TIMER:
        if (wParam == kCaptureRetryTimer) {
            OnCaptureRetryTimer(window);
            return 0;
        }
        if (wParam == kMemoSealTimer) {
            FlushMemoSeal();
            return 0;
        }
        if (wParam == kQuitTimer) {
            RequestQuit(window);
            return 0;
        }
        break;
    case WM_APP_TRAY:
        OnTray(window, static_cast<UINT>(lParam));
        break;
    case WM_APP_SHOW:
        OnEdgeShow(window, reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_APP_MEMO_ESCAPE:
        if (GetFocus() == g_windows.memoPad && g_windows.tabStrip)
            SetFocus(g_windows.tabStrip);
        return 0;
    case WM_APP_PASTE:
        PasteToPreviousWindow(static_cast<int>(wParam));
        return 0;
    case WM_APP_HIDE:
        if (IsWindowVisible(window))
            HideMainWindow();
        return 0;
    case WM_APP_TAB_KEY:
        OnTabKey(wParam);
        return 0;
    case WM_APP_SAVE_FAILED:
        OnSaveFailed(static_cast<int>(wParam));
        return 0;
    case WM_APP_FILE_CONFLICT:
        OnFileConflict(static_cast<int>(wParam));
        return 0;
    case WM_APP_UNREADABLE_FILES:
        OnUnreadableFiles();
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(window, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_QUERYENDSESSION:
        OnEndSession();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            OnEndSession();
        return 0;
    default:
        // A restarted Explorer has forgotten our icon.
        if (message == g_taskbarCreated && g_taskbarCreated != 0) {
            AddTrayIcon(window);
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
