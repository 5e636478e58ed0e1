#include "app/MainWindow.h"

#include "app/Activation.h"
#include "app/App.h"
#include "app/ClipboardCapture.h"
#include "app/InputHooks.h"
#include "app/FolderWatch.h"
#include "app/Layout.h"
#include "app/MessageLoop.h"
#include "app/QueueMode.h"
#include "app/StartupChecks.h"
#include "app/Visibility.h"
#include "app/WindowSettings.h"
#include "resources/resource.h"
#include "core/Capture.h"
#include "storage/Backup.h"
#include "storage/SlotFile.h"
#include "storage/TextFile.h"
#include "tabs/TabFiles.h"
#include "tabs/TabLock.h"
#include "tabs/TabSettingsDialog.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"
#include "tabs/TabsHost.h"
#include "ui/Colours.h"
#include "ui/FilterBox.h"
#include "ui/Ids.h"
#include "ui/ItemList.h"
#include "ui/Keys.h"
#include "ui/ListActions.h"
#include "ui/SettingsDialog.h"
#include "ui/WinHandles.h"
#include "ui/WindowPlacement.h"
#include "ui/Windowing.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>
#include <wtsapi32.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT kQuitRetryMs = 100;
constexpr UINT kFolderSettleMs = 150; // after a change in the data folder, before it is read
constexpr UINT kFolderRetryMs = 500;  // a file still held by its writer is read again then
constexpr UINT kFolderPollMs = 1000;  // a folder without change notifications is looked at so often

UniqueWinEventHook g_foregroundHook;
bool g_trayVersion4 = false; // the shell speaks NOTIFYICON_VERSION_4 with our icon

// ---- the parts below, and what they get -------------------------------------------------

void RefreshAfterSettings() {
    // The history may have been cut and its visible count changed.
    HWND list = ListWindow();
    if (!AppView().historyShown || ContentUnavailable(AppData().tabs[kHistoryTab])) {
        ShowTab(AppView().currentTab);
        return;
    }
    RefillList();
    if (ListRowCount(list) > 0) // selected, but the view stays where it is
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void OpenSettings(HWND window) {
    SettingsHost host;
    host.state = &AppData();
    host.main = window;
    host.listFont = ListFont;
    host.replaceListFont = ReplaceListFont;
    host.saveHistory = [] { return SaveSlot(kHistoryTab); };
    host.saveSettings = SaveSettingsWithWindowRect;
    host.refreshList = RefreshAfterSettings;
    OpenSettingsDialog(host);
    ShareHookOptions(AppData().EnabledArea, AppData().StayVisible);
    FocusContent();
}

bool AbsorbSettingsCopyLive(HWND window, const std::wstring& copyName);

void HandOverToTheParts(HWND window, HWND list) {
    TabsHost tabs;
    tabs.main = window;
    tabs.list = list;
    tabs.state = &AppData();
    tabs.view = &AppView();
    tabs.layout = [window] { LayoutMainWindow(window); };
    tabs.saveSettings = SaveSettingsWithWindowRect;
    tabs.listFont = ListFont;
    tabs.tell = [window](const std::wstring& text) { ShowTrayBalloon(window, L"Nomaclip", text.c_str()); };
    tabs.absorbSettingsCopy = [window](const std::wstring& copy) { return AbsorbSettingsCopyLive(window, copy); };
    tabs.copySecret = CopySecretText;
    tabs.lockSetupPicture = Pictures().setup;
    tabs.lockUnlockPicture = Pictures().unlock;
    InitTabs(tabs);

    ListHost host;
    host.list = list;
    host.main = window;
    host.state = &AppData();
    host.view = &AppView();
    host.showTab = ShowTab;
    host.switchToTab = SwitchToTab;
    host.saveTab = SaveSlot;
    host.chooseEntry = ChooseEntry;
    host.copyEntry = [](EntryId entry) { return CopyEntryToClipboard(entry); };
    host.queueEntry = QueueEntry;
    host.copySecret = CopySecretText;
    host.showPasswordPanel = [] {
        // The tab's password panel is where a sealed tab is opened.
        ShowTab(AppView().currentTab);
        FocusTabView(FocusCause::Show);
    };
    host.font = ListFont;
    host.layout = [window] { LayoutMainWindow(window); };
    InitListActions(host);

    FilterBoxHost filter;
    filter.changed = OnFilterChanged;
    filter.enter = ChooseFirstMatch;
    filter.down = EnterListFromFilter;
    CreateFilterBox(window, ListFont(), filter);
}

// ---- the scale of the window's monitor ------------------------------------------------------

// WM_DPICHANGED: the window went to a monitor of another scale, or the scale changed. It
// takes the rectangle Windows suggests, and every size, font and picture follows.
void OnDpiChanged(HWND window, int dpi, const RECT* suggested) {
    const int old = LayoutDpi();
    if (dpi > 0 && dpi != old) {
        SetLayoutDpi(dpi);
        RescaleListFont(old, dpi);
        RescaleToolbar(dpi);
    }
    if (suggested)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowTab(AppView().currentTab); // the layout, the panel and the list's columns
}

// ---- the data folder, shared with other PCs or changed by other programs -----------------

// The option a toolbar toggle (F1 to F5) switches; null for other commands.
bool AppOptions::*ToggledOption(int command) {
    switch (command) {
    case CMD_ALWAYS_ON_TOP:
        return &AppOptions::AlwaysOnTop;
    case CMD_STAY_VISIBLE:
        return &AppOptions::StayVisible;
    case CMD_PAUSE_HISTORY:
        return &AppOptions::PauseHistory;
    case CMD_MOVE_TO_TOP:
        return &AppOptions::MoveToTopOnCopy;
    case CMD_AUTO_PASTE:
        return &AppOptions::AutoPaste;
    default:
        return nullptr;
    }
}

// The window, the toolbar's toggles and the hooks follow the options that differ from `before`.
void ShowOptionsChanged(HWND window, const AppOptions& before) {
    const AppOptions& now = AppData();
    for (int command : {CMD_ALWAYS_ON_TOP, CMD_STAY_VISIBLE, CMD_PAUSE_HISTORY, CMD_MOVE_TO_TOP, CMD_AUTO_PASTE}) {
        bool AppOptions::*option = ToggledOption(command);
        if (now.*option != before.*option)
            UpdateToggleImage(command, now.*option);
    }
    if (now.AlwaysOnTop != before.AlwaysOnTop)
        SetWindowPos(window, now.AlwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShareHookOptions(now.EnabledArea, now.StayVisible);
}

// Settings taken in from settings.ini (another PC, an editor) take effect at once, as the settings
// dialog's would: the toolbar's toggles, the hotkey, the tabs' names and kinds, the history's length.
void ApplySettingsFromFile(HWND window, const AppSettings& next) {
    AppState& data = AppData();
    const AppOptions before = data;
    std::array<TabType, kTabCount> kinds{};
    for (int t = 0; t < kTabCount; ++t)
        kinds[t] = data.tabs[t].type;
    FlushMemoSave();
    ApplyLoadedSettings(next);
    ShowOptionsChanged(window, before);
    if (data.HotkeyMod != before.HotkeyMod || data.HotkeyKey != before.HotkeyKey) {
        UnregisterHotKey(window, kHotkeyId);
        RegisterToolHotkey(window, data.HotkeyMod, data.HotkeyKey); // a key held by a program here is no error
    }
    for (int t = 1; t < kTabCount; ++t) {
        if (data.tabs[t].type == kinds[t])
            continue;
        if (data.tabs[t].dirty)
            SaveSlot(t); // its entries reach its file before it is read as the other kind
        LoadSlot(data.tabs[t], data.MaxHistory);
    }
    TabSlot& history = data.tabs[kHistoryTab];
    if (!ContentUnavailable(history) && CutHistory(history.items, data.MaxHistory))
        SaveSlot(kHistoryTab);
    InvalidateRect(TabStripWindow(), nullptr, TRUE); // the tabs' names
    RefreshAfterSettings();
}

// Everything in the folder that changed from outside is taken in; false when something could
// not be read just now (a writer still holds it).
bool TakeInChangedFiles(HWND window) {
    bool done = true;
    AppSettings merged;
    switch (TakeInSettingsFile(merged)) {
    case SettingsTakeIn::TakenIn:
        ApplySettingsFromFile(window, merged);
        SaveSettingsAfterTakeIn();
        break;
    case SettingsTakeIn::NotNow:
        done = false;
        break;
    case SettingsTakeIn::Unchanged:
        break;
    }
    for (int t = 0; t < kTabCount; ++t)
        done = TakeInTabFile(t) && done;
    return AbsorbConflictCopies() && done;
}

void OnFolderTimer(HWND window, UINT_PTR timer) {
    if (timer == TIMER_FOLDER_SETTLE) {
        KillTimer(window, TIMER_FOLDER_SETTLE);
        FolderChangeHandled(); // a change from now on is told again
    }
    if (!TakeInChangedFiles(window))
        SetTimer(window, TIMER_FOLDER_SETTLE, kFolderRetryMs, nullptr);
}

// A conflict copy of settings.ini: its keys join the live settings.
bool AbsorbSettingsCopyLive(HWND window, const std::wstring& copyName) {
    AppSettings merged;
    const SettingsTakeIn result = AbsorbSettingsCopy(copyName, merged);
    if (result == SettingsTakeIn::TakenIn) {
        ApplySettingsFromFile(window, merged);
        SaveSettingsAfterTakeIn();
    }
    return result != SettingsTakeIn::NotNow;
}

// ---- creation and destruction -------------------------------------------------------

// `settings`: what wWinMain read from settings.ini and applied.
bool OnCreate(HWND window, const AppSettings& settings) {
    SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | WS_CLIPCHILDREN);

    const WindowRect rect = ReachableRectOnThisDesktop(settings.Rect);
    SetWindowPos(window, nullptr, rect.x, rect.y, rect.width, rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetLayoutDpi(WindowDpi(window));
    RescaleListFont(ScreenDpi(), LayoutDpi()); // made for the screen; the window's monitor may differ

    AppView() = ViewState{};
    // The memo pad shows its tab's entry whenever that tab is put on screen: the loader has
    // decoded the file once, in whatever encoding it came.
    for (TabSlot& slot : AppData().tabs)
        LoadSlot(slot, AppData().MaxHistory);

    CreateToolbar(window);
    HWND list = CreateItemList(window, ListFont());
    SetMainWindows(window, list);
    HandOverToTheParts(window, list);
    CreateTabView(window);
    CreateTabStrip(window, ToolbarHeight(), rect.width, ListFont());
    LayoutMainWindow(window);
    RefillList();

    ResetClipboardCapture();
    AddClipboardFormatListener(window);

    const AppState& data = AppData();
    if (data.AlwaysOnTop)
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RegisterToolHotkey(window, data.HotkeyMod, data.HotkeyKey); // a key held elsewhere is no error
    ShareHookOptions(data.EnabledArea, data.StayVisible);
    g_foregroundHook.reset(SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, ForegroundChanged,
                                           0, 0, WINEVENT_OUTOFCONTEXT));
    NoteSettingsInForce(settings.Rect);
    PostMessageW(window, WM_APP_UNREADABLE_FILES, 0, 0); // said once, when the loop runs
    // Changes from outside are taken in as they come; conflict copies left while the program was
    // not running are taken in once the loop runs.
    if (!StartFolderWatch(window, GetAppDirectory()))
        SetTimer(window, TIMER_FOLDER_POLL, kFolderPollMs, nullptr);
    PostMessageW(window, WM_APP_FOLDER_CHANGED, 0, 0);
    return true;
}

void OnDestroy(HWND window) {
    StopFolderWatch();
    KillTimer(window, TIMER_FOLDER_SETTLE);
    KillTimer(window, TIMER_FOLDER_POLL);
    CloseTabView();
    g_foregroundHook.reset();
    ForgetTabStripFont(); // the list font goes below; the strip must not draw with it

    // Only what has not reached its file yet is written: a file the user changed in another
    // program is not overwritten by an exit. The quit command has asked about everything
    // already; another way of ending asks nothing.
    SaveUnsavedChanges(false);
    // The tabs open for the run end with the run; nothing after this can write them.
    KillTimer(window, TIMER_MEMO_SAVE);
    KillTimer(window, TIMER_QUIT);
    ForgetOpenedTabs();

    DestroyToolbarImages();
    ReleaseListFont();
    KillTimer(window, TIMER_CAPTURE_RETRY);
    StopClipboardCapture();
    ClearSecretFromClipboard(); // a secret chosen in this run does not outlive it
    KillTimer(window, TIMER_SESSION_WATCH);
    StopWatchingSession(window);
    RemoveClipboardFormatListener(window);
    PostQuitMessage(0);
}

// ---- commands -----------------------------------------------------------------------

void ClearHistory(HWND window) {
    if (!AppView().historyShown)
        return;
    if (AppData().tabs[TabInView(AppView())].encrypted) {
        MessageBoxW(window, L"暗号化中は使用出来ません。", L"エラー", MB_ICONERROR);
        return;
    }
    if (MessageBoxW(window, L"履歴をすべて削除しますか？", L"確認", MB_ICONQUESTION | MB_YESNO) == IDYES) {
        std::vector<HistoryItem>& items = AppData().tabs[kHistoryTab].items;
        items.erase(std::remove_if(items.begin(), items.end(), [](const HistoryItem& item) { return !item.locked; }),
                    items.end());
        RefillList();
        SaveSlot(kHistoryTab);
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
            OnMemoPadEdited();
        return;
    }
    if (bool AppOptions::*option = ToggledOption(id)) {
        const AppOptions before = AppData();
        AppData().*option = !(AppData().*option);
        ShowOptionsChanged(window, before);
    } else if (id == CMD_PASTE_QUEUE) {
        ToggleQueueMode();
    } else if (id == CMD_CLEAR_HISTORY) {
        ClearHistory(window);
    } else if (id == CMD_BACKUP) {
        RunBackup(window);
    } else if (id == CMD_SETTINGS) {
        OpenSettings(window);
    } else if (code == BN_CLICKED) {
        OnPanelButton(id);
    }
    SaveSettingsWithWindowRect(); // writes only when a setting changed
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
    case CMD_PASTE_QUEUE:
        return L"連続貼り付けのオン/オフ (F9)";
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
        // While 連続貼り付け is on, its button says how many texts wait.
        const std::wstring status = header->idFrom == CMD_PASTE_QUEUE ? QueueStatusText() : std::wstring();
        if (!status.empty())
            wcsncpy_s(info->szText, status.c_str(), _TRUNCATE);
        else if (const wchar_t* tip = ToolbarTip(header->idFrom))
            wcsncpy_s(info->szText, tip, _TRUNCATE);
        return 0;
    }
    if (header->idFrom == CTL_TOOLBAR && header->code == NM_CUSTOMDRAW)
        return OnToolbarCustomDraw(reinterpret_cast<NMCUSTOMDRAW*>(header));
    if (header->idFrom != CTL_LIST)
        return DefWindowProcW(window, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
    HWND list = ListWindow();
    switch (header->code) {
    case LVN_GETDISPINFOW:
        return OnItemListGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
    case LVN_ODFINDITEMW:
        return OnItemListFindItem(reinterpret_cast<NMLVFINDITEMW*>(header));
    case NM_CUSTOMDRAW:
        return OnItemListCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_RETURN)
            ChooseRow(SelectedListRow(list));
        return 0;
    case NM_CLICK:
        ChooseRow(RowUnderPointer(list));
        return 0;
    case LVN_BEGINDRAG:
        BeginRowDrag(list, reinterpret_cast<NMLISTVIEW*>(header)->iItem);
        return 0;
    default:
        return 0;
    }
}

// ---- quitting -----------------------------------------------------------------------

BOOL CALLBACK CancelOwnDialog(HWND window, LPARAM found) {
    if (IsDialogOnScreen(window)) {
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
        SetTimer(window, TIMER_QUIT, kQuitRetryMs, nullptr);
        return;
    }
    KillTimer(window, TIMER_QUIT);
    SaveUnsavedChanges(true);
    if (CancelOwnDialogs()) { // a question asked meanwhile may have opened something
        SetTimer(window, TIMER_QUIT, kQuitRetryMs, nullptr);
        return;
    }
    SaveSettingsWithWindowRect();
    RemoveTrayIcon(window);
    DestroyWindow(window);
}

// The session ends (log-off, shut-down): what has not reached its file yet is written now,
// the last keystrokes of a memo pad open for the run included.
void OnEndSession() {
    SaveUnsavedChanges(false);
    SaveSettingsWithWindowRect();
    ClearSecretFromClipboard();
}

// ---- the notification-area icon -------------------------------------------------------

void OnTrayMenu(HWND window, POINT at) {
    UniqueMenu menu(CreatePopupMenu());
    AppendMenuW(menu.get(), MF_STRING, TRAY_SHOW, L"表示");
    AppendMenuW(menu.get(), MF_STRING, TRAY_SETTINGS, L"設定...");
    AppendMenuW(menu.get(), MF_STRING | (QueueModeOn() ? MF_CHECKED : 0), TRAY_PASTE_QUEUE, L"連続貼り付け");
    AppendMenuW(menu.get(), MF_STRING, TRAY_EXIT, L"終了");
    SetForegroundWindow(window); // otherwise the menu does not close when clicked away
    const UINT chosen = TrackOwnPopupMenu(menu.get(), at, window);
    menu.reset();
    PostMessageW(window, WM_NULL, 0, 0);
    if (chosen == TRAY_SHOW)
        ShowToolWindow();
    else if (chosen == TRAY_EXIT)
        RequestQuit(window);
    else if (chosen == TRAY_SETTINGS)
        OpenSettings(window);
    else if (chosen == TRAY_PASTE_QUEUE)
        ToggleQueueMode();
}

// The icon's callback. With NOTIFYICON_VERSION_4 the event is the low word of lParam and the
// icon's anchor point is in wParam; the shell then also says when the icon was chosen from the
// keyboard (NIN_KEYSELECT, Enter or Space) or its menu asked for (WM_CONTEXTMENU, also by
// Shift+F10 or the menu key), instead of a right button going up.
void OnTray(HWND window, WPARAM wParam, LPARAM lParam) {
    const UINT event = LOWORD(lParam);
    POINT cursor{};
    GetCursorPos(&cursor);
    if (event == WM_LBUTTONUP)
        OnTrayClick(window);
    else if (event == NIN_KEYSELECT)
        OnShowRequest(window); // Enter can come twice: it shows, never toggles
    else if (event == WM_CONTEXTMENU && g_trayVersion4)
        OnTrayMenu(window, POINT{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)});
    else if (event == WM_RBUTTONUP && !g_trayVersion4)
        OnTrayMenu(window, cursor);
}

// The loop runs: the folder is checked (said once, in a box, as the user's data is at stake),
// and on a first run the window shows itself, as a tray click would, with a balloon at the
// icon: Windows 11 puts a new icon out of sight, and there is no hotkey yet.
// `recovered`: the files a cut-short write left that were kept as .recovered (may be null).
void OnStarted(HWND window, bool firstRun, std::unique_ptr<std::vector<std::wstring>> recovered) {
    const std::wstring folder = GetAppDirectory();
    wchar_t temporary[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temporary);
    FolderFacts facts = ReadFolderFacts(folder, temporary);
    if (recovered)
        facts.recovered = std::move(*recovered);
    const std::wstring warning = FolderWarningText(facts, folder);
    if (!warning.empty())
        MessageBoxW(window, warning.c_str(), L"エラー", MB_ICONWARNING);
    if (!firstRun)
        return;
    ShowToolWindow();
    ShowTrayBalloon(window, L"Nomaclip",
                    L"Nomaclip は通知領域のこのアイコンから使えます。クリックするとウィンドウを表示します。"
                    L"F12 の設定でホットキーを登録できます。");
    // settings.ini is there from now on: the next start is no first run.
    if (facts.writable)
        SaveSettingsWithWindowRect();
}

void OnTabKey(WPARAM key) {
    if (key == VK_F7)
        OnSealKey();
    else if (key == VK_F8)
        OpenTabSettingsForCurrentTab();
}

LRESULT OnCtlColor(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND memoPad = ViewWindows().memoPad;
    if (!memoPad || reinterpret_cast<HWND>(lParam) != memoPad)
        return DefWindowProcW(window, message, wParam, lParam);
    HDC dc = reinterpret_cast<HDC>(wParam);
    const ContentColours colours = ContentColoursFor(CurrentColourScheme());
    SetTextColor(dc, colours.text);
    SetBkColor(dc, colours.background);
    return reinterpret_cast<LRESULT>(ContentBackgroundBrush());
}

// A move or resize is noted as it goes and written once it ends (WM_EXITSIZEMOVE), a hide or
// a command: dragging the window does not rewrite settings.ini at every step.
void OnMoved(HWND window) {
    RECT rect;
    if (GetWindowRect(window, &rect))
        NoteWindowRect(rect.left, rect.top, -1, -1);
}

void OnSized(HWND window) {
    RECT rect;
    // A minimised window's rectangle is no place to come back to.
    if (!IsIconic(window) && GetWindowRect(window, &rect))
        NoteWindowRect(-1, -1, rect.right - rect.left, rect.bottom - rect.top);
    ShowTab(AppView().currentTab);
}

// The icon's identity, to which each call adds what it changes.
NOTIFYICONDATAW TrayIcon(HWND mainWindow) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = mainWindow;
    icon.uID = kTrayIconId;
    return icon;
}

} // namespace

void AddTrayIcon(HWND mainWindow) {
    NOTIFYICONDATAW icon = TrayIcon(mainWindow);
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = WM_APP_TRAY;
    // The small icon at the scale the notification area draws it (16 px at 100 %, 20 at 125 %,
    // 24 at 150 %), from its own frame: LoadIconW would give the 32 px one, shrunk by the shell.
    HICON small = nullptr;
    if (FAILED(LoadIconMetric(ProgramInstance(), MAKEINTRESOURCEW(IDI_APP), LIM_SMALL, &small)))
        small = static_cast<HICON>(LoadImageW(ProgramInstance(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    icon.hIcon = small;
    wcsncpy_s(icon.szTip, L"Nomaclip", _TRUNCATE);
    Shell_NotifyIconW(NIM_ADD, &icon); // without a notification area there is nothing to do about it
    if (small)
        DestroyIcon(small); // the shell keeps its own copy
    icon.uVersion = NOTIFYICON_VERSION_4;
    g_trayVersion4 = Shell_NotifyIconW(NIM_SETVERSION, &icon) != FALSE;
}

void SetTrayTip(const std::wstring& text) {
    NOTIFYICONDATAW icon = TrayIcon(MainWindowHandle());
    icon.uFlags = NIF_TIP | NIF_SHOWTIP;
    wcsncpy_s(icon.szTip, text.empty() ? L"Nomaclip" : text.c_str(), _TRUNCATE);
    Shell_NotifyIconW(NIM_MODIFY, &icon); // without a notification area there is nowhere to say it
}

void ShowTrayBalloon(HWND mainWindow, const wchar_t* title, const wchar_t* text) {
    NOTIFYICONDATAW icon = TrayIcon(mainWindow);
    icon.uFlags = NIF_INFO;
    icon.dwInfoFlags = NIIF_INFO;
    wcsncpy_s(icon.szInfoTitle, title, _TRUNCATE);
    wcsncpy_s(icon.szInfo, text, _TRUNCATE);
    Shell_NotifyIconW(NIM_MODIFY, &icon); // without a notification area there is nowhere to say it
}

void RemoveTrayIcon(HWND mainWindow) {
    NOTIFYICONDATAW icon = TrayIcon(mainWindow);
    Shell_NotifyIconW(NIM_DELETE, &icon);
}

UINT ShowRequestMessage() {
    static const UINT message = RegisterWindowMessageW(kShowWindowMessage);
    return message;
}

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

void LetThroughFromLowerIntegrity(HWND window, MessageFilterCall allow) {
    for (UINT message : {ShowRequestMessage(), TaskbarCreatedMessage()})
        if (message)
            allow(window, message, MSGFLT_ALLOW, nullptr); // refused only for an invalid message
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Keys typed before the hotkey, a click on the icon or an Esc reach their window first (the
    // memo pad, a dialog), never the menu or the hidden window that comes of it.
    if (StandsForLaterInput(message, ShowRequestMessage()))
        DeliverQueuedKeys();
    switch (message) {
    case WM_CREATE:
        LetThroughFromLowerIntegrity(window, ChangeWindowMessageFilterEx);
        WatchSessionForHooks(window);
        if (const auto* created = reinterpret_cast<const CREATESTRUCTW*>(lParam); created->lpCreateParams)
            OnCreate(window, *static_cast<const AppSettings*>(created->lpCreateParams));
        else
            OnCreate(window, LoadStartupSettings());
        break;
    case WM_DESTROY:
        OnDestroy(window);
        break;
    case WM_MOVE:
        OnMoved(window);
        break;
    case WM_SIZE:
        OnSized(window);
        break;
    case WM_EXITSIZEMOVE:
        SaveSettingsWithWindowRect();
        break;
    case WM_ACTIVATE:
        return OnActivate(window, wParam, lParam);
    case WM_PAINT: {
        UniquePaintDC paint(window); // the children cover the whole client area
        break;
    }
    case WM_CLOSE:
        if (AppView().encryptSetupTab != -1) {
            CancelEncryptionSetup();
            ShowTab(AppView().currentTab);
        }
        if (IsWindow(window))
            HideMainWindow();
        return 0;
    case WM_SHOWWINDOW:
        OnShowWindow(static_cast<BOOL>(wParam));
        break;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        ApplySystemColours(window); // high contrast on or off, another theme
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {ScaleToLayout(kMinWindowWidth), ScaleToLayout(kMinWindowHeight)};
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
    case WM_APP_CLIPBOARD_READ:
        OnClipboardRead(window, lParam);
        return 0;
    case WM_APP_PASTE_KEY:
        OnQueuePasteKey(wParam, lParam);
        return 0;
    case WM_RENDERFORMAT:
        OnRenderFormat(static_cast<UINT>(wParam));
        return 0;
    case WM_RENDERALLFORMATS:
        OnRenderAllFormats(window);
        return 0;
    case WM_DESTROYCLIPBOARD:
        OnDestroyClipboard();
        return 0;
    case WM_TIMER:
        if (wParam == TIMER_CAPTURE_RETRY) {
            OnCaptureRetryTimer(window);
            return 0;
        }
        if (wParam == TIMER_MEMO_SAVE) {
            FlushMemoSave();
            return 0;
        }
        if (wParam == TIMER_QUIT) {
            RequestQuit(window);
            return 0;
        }
        if (wParam == TIMER_PASTE) {
            OnPasteTimer();
            return 0;
        }
        if (wParam == TIMER_CLEAR_SECRET) {
            ClearSecretFromClipboard();
            return 0;
        }
        if (wParam == TIMER_FOLDER_SETTLE || wParam == TIMER_FOLDER_POLL) {
            OnFolderTimer(window, wParam);
            return 0;
        }
        if (wParam == TIMER_QUEUE_PUT || wParam == TIMER_QUEUE_PAUSE) {
            OnQueueTimer(wParam);
            return 0;
        }
        if (wParam == TIMER_SESSION_WATCH) {
            OnSessionWatchTimer(window);
            return 0;
        }
        break;
    case WM_APP_TRAY:
        OnTray(window, wParam, lParam);
        break;
    case WM_APP_STARTED:
        OnStarted(window, wParam != 0,
                  std::unique_ptr<std::vector<std::wstring>>(reinterpret_cast<std::vector<std::wstring>*>(lParam)));
        return 0;
    case WM_POWERBROADCAST:
        // Windows may have removed the hooks while the machine slept (a hook that answers late
        // is dropped without a word, and memory paged out makes them late).
        if (wParam == PBT_APMRESUMEAUTOMATIC)
            ReinstallInputHooks();
        return TRUE;
    case WM_WTSSESSION_CHANGE:
        if (wParam == WTS_SESSION_UNLOCK)
            ReinstallInputHooks();
        return 0;
    case WM_APP_SHOW:
        OnEdgeShow(window, reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_APP_ESCAPE:
        OnEscape(window);
        return 0;
    case WM_APP_PASTE:
        PasteToPreviousWindow(static_cast<int>(static_cast<INT_PTR>(wParam)));
        return 0;
    case WM_APP_HIDE:
        if (IsWindowVisible(window))
            HideMainWindow();
        return 0;
    case WM_APP_TAB_KEY:
        OnTabKey(wParam);
        return 0;
    case WM_APP_KEY_COMMAND:
        OnCommand(window, static_cast<int>(wParam), 0);
        return 0;
    case WM_APP_SAVE_FAILED:
        OnSaveFailed(static_cast<int>(wParam));
        return 0;
    case WM_APP_FOLDER_CHANGED:
        if (wParam == kFolderWatchEnded)
            SetTimer(window, TIMER_FOLDER_POLL, kFolderPollMs, nullptr);
        // A writer is most often done within a moment; a burst of changes is looked at once.
        SetTimer(window, TIMER_FOLDER_SETTLE, kFolderSettleMs, nullptr);
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
        if (message == TaskbarCreatedMessage() && message != 0) {
            AddTrayIcon(window);
            return 0;
        }
        if (message == ShowRequestMessage() && message != 0) {
            OnShowRequest(window);
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
