#include "ui/SettingsDialog.h"

#include "resources/resource.h"
#include "storage/Backup.h"
#include "ui/Ids.h"
#include "ui/WinHandles.h"
#include "ui/WindowPlacement.h"
#include "ui/Windowing.h"

#include <commctrl.h>
#include <commdlg.h>
#include <imm.h>

namespace {

constexpr wchar_t kPropHotkeyMod[] = L"TempHotkeyMod";
constexpr wchar_t kPropHotkeyKey[] = L"TempHotkeyKey";
constexpr UINT_PTR kHotkeyEditSubclass = 1;
constexpr wchar_t kPropDialogFont[] = L"SettingsDlgFont";

constexpr wchar_t kNoModifierMessage[] = L"ホットキーには Ctrl, Shift, Alt, Winキーのいずれかを組み合わせてください。"
                                         L"無効化する場合はDel キーを押してください。";

// The controls that get the dialog's font.
constexpr int kFontedControls[] = {IDC_HISTORY_LIMIT_EDIT,
                                   IDC_MAX_HISTORY_EDIT,
                                   IDOK,
                                   IDCANCEL,
                                   IDC_MAX_HISTORY_LABEL,
                                   IDC_HISTORY_LIMIT_LABEL,
                                   IDC_AREA_LABEL,
                                   IDC_HOTKEY_LABEL,
                                   IDC_AREA_COMBO,
                                   IDC_HOTKEY_EDIT,
                                   IDC_DUPLICATE_LABEL,
                                   IDC_DUPLICATE_CHECK,
                                   IDC_FONT_LABEL,
                                   IDC_FONT_BUTTON,
                                   IDC_AUTOSTART_LABEL,
                                   IDC_AUTOSTART_CHECK,
                                   IDC_IGNORE_PROGRAMS_LABEL,
                                   IDC_IGNORE_PROGRAMS_EDIT,
                                   IDC_PASTE_KEYS_LABEL,
                                   IDC_PASTE_KEYS_EDIT};

HWND g_openDialog = nullptr; // the settings dialog while it runs
SettingsHost g_host;         // what it edits and whom it tells, while it runs

AppState& State() {
    return *g_host.state;
}

UINT PropNumber(HWND window, const wchar_t* name) {
    return static_cast<UINT>(reinterpret_cast<UINT_PTR>(GetPropW(window, name)));
}

void SetPropNumber(HWND window, const wchar_t* name, UINT value) {
    SetPropW(window, name, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(value)));
}

// ---- DPI ------------------------------------------------------------------------------------

// Functions of Windows 10 1607 and later, looked up so that older systems still start.
template <typename Function> Function User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SystemParametersForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

// The message font at the DPI of the screen the dialog is on; the plain call gives it at the
// system DPI only.
bool MessageFontFor(HWND dialog, LOGFONTW& font) {
    static const auto dpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    static const auto parametersForDpi = User32Function<SystemParametersForDpiFunction>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    const UINT dpi = dpiForWindow ? dpiForWindow(dialog) : 0;
    BOOL got = FALSE;
    if (parametersForDpi && dpi != 0)
        got = parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi);
    if (!got)
        got = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    if (!got)
        return false;
    font = metrics.lfMessageFont;
    return true;
}

// Gives the controls the message font and keeps it in "SettingsDlgFont"; a font from before
// (another DPI) is deleted once no control uses it any more.
void ApplyDialogFont(HWND dialog) {
    LOGFONTW logFont = {};
    if (!MessageFontFor(dialog, logFont))
        return;
    UniqueFont font(CreateFontIndirectW(&logFont));
    if (!font)
        return;
    for (int id : kFontedControls)
        if (HWND control = GetDlgItem(dialog, id))
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    UniqueFont previous(static_cast<HFONT>(RemovePropW(dialog, kPropDialogFont)));
    SetPropW(dialog, kPropDialogFont, font.release());
}

// ---- The hotkey box -------------------------------------------------------------------------

bool KeyHeld(int virtualKey) {
    return (GetKeyState(virtualKey) & 0x8000) != 0;
}

bool KeyPhysicallyDown(int virtualKey) {
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

// The modifiers held right now, as hotkey bits.
UINT ModifiersDown() {
    UINT modifiers = 0;
    if (KeyPhysicallyDown(VK_CONTROL))
        modifiers |= kHotkeyCtrl;
    if (KeyPhysicallyDown(VK_SHIFT))
        modifiers |= kHotkeyShift;
    if (KeyPhysicallyDown(VK_MENU))
        modifiers |= kHotkeyAlt;
    if (KeyPhysicallyDown(VK_LWIN) || KeyPhysicallyDown(VK_RWIN))
        modifiers |= kHotkeyWin;
    return modifiers;
}

LRESULT OnHotkeyGetDlgCode(LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    const bool modifierDown =
        KeyHeld(VK_CONTROL) || KeyHeld(VK_SHIFT) || KeyHeld(VK_MENU) || KeyHeld(VK_LWIN) || KeyHeld(VK_RWIN);
    if (message && DialogTakesKey(message->message, message->wParam, modifierDown))
        return 0;
    return DLGC_WANTALLKEYS;
}

void OnHotkeyKeyDown(HWND edit, UINT virtualKey) {
    HWND dialog = GetParent(edit);
    const UINT modifiers = ModifiersDown();
    switch (DecideHotkeyKey(virtualKey, modifiers)) {
    case HotkeyKeyAction::Clear:
        SetPropNumber(dialog, kPropHotkeyMod, 0);
        SetPropNumber(dialog, kPropHotkeyKey, 0);
        SetWindowTextW(edit, L"");
        break;
    case HotkeyKeyAction::Ignore:
        break;
    case HotkeyKeyAction::Refuse:
        MessageBoxW(edit, kNoModifierMessage, L"設定エラー", MB_ICONWARNING);
        break;
    case HotkeyKeyAction::Record:
        SetPropNumber(dialog, kPropHotkeyMod, modifiers);
        SetPropNumber(dialog, kPropHotkeyKey, virtualKey);
        SetWindowTextW(edit, HotkeyText(modifiers, virtualKey, SystemKeyName, NamelessKey::Hex).c_str());
        break;
    }
}

// The hotkey box takes key presses, never text: what it shows is always the hotkey being edited.
LRESULT CALLBACK HotkeyCaptureEdit(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_NCDESTROY:
        return EndSubclass(edit, HotkeyCaptureEdit, kHotkeyEditSubclass, message, wParam, lParam);
    case WM_GETDLGCODE:
        return OnHotkeyGetDlgCode(lParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        OnHotkeyKeyDown(edit, static_cast<UINT>(wParam));
        return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
    // The context menu's paste, cut and delete would change the text but not the hotkey.
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
        return 0;
    default:
        return DefSubclassProc(edit, message, wParam, lParam);
    }
}

void SetUpHotkeyEdit(HWND dialog) {
    HWND edit = GetDlgItem(dialog, IDC_HOTKEY_EDIT);
    if (!edit)
        return;
    SetPropNumber(dialog, kPropHotkeyMod, State().HotkeyMod);
    SetPropNumber(dialog, kPropHotkeyKey, State().HotkeyKey);
    SendMessageW(edit, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(L"装飾キーと組み合わせて登録"));
    if (State().HotkeyKey != 0)
        SetWindowTextW(edit,
                       HotkeyText(State().HotkeyMod, State().HotkeyKey, SystemKeyName, NamelessKey::Omit).c_str());
    Subclass(edit, HotkeyCaptureEdit, kHotkeyEditSubclass);
}

// ---- Opening ------------------------------------------------------------------------------

void SetUpCountEdit(HWND dialog, int id, int value) {
    HWND edit = GetDlgItem(dialog, id);
    if (!edit)
        return;
    SetWindowTextW(edit, std::to_wstring(value).c_str());
    // Digits only, and no input method composing full-width ones.
    SetWindowLongPtrW(edit, GWL_STYLE, GetWindowLongPtrW(edit, GWL_STYLE) | ES_NUMBER);
    ImmAssociateContext(edit, nullptr);
}

// The two boxes of rules by program show what is in force (the built-in paste keys while none
// are given) and, on leaving them, what will be used of what was typed.
void SetUpProgramEdits(HWND dialog) {
    const AppState& state = State();
    SetDlgItemTextW(dialog, IDC_IGNORE_PROGRAMS_EDIT, ProgramListText(state.IgnorePrograms).c_str());
    SetDlgItemTextW(dialog, IDC_PASTE_KEYS_EDIT,
                    PasteKeysText(state.PasteKeysGiven ? state.PasteKeys : BuiltInPasteKeys()).c_str());
    for (int id : {IDC_IGNORE_PROGRAMS_EDIT, IDC_PASTE_KEYS_EDIT})
        SendDlgItemMessageW(dialog, id, EM_SETLIMITTEXT, 2 * kProgramSettingMaxChars, 0);
    SendDlgItemMessageW(dialog, IDC_IGNORE_PROGRAMS_EDIT, EM_SETCUEBANNER, TRUE,
                        reinterpret_cast<LPARAM>(L"例: keepass.exe;1password.exe"));
    SendDlgItemMessageW(dialog, IDC_PASTE_KEYS_EDIT, EM_SETCUEBANNER, TRUE,
                        reinterpret_cast<LPARAM>(L"例: putty.exe=Shift+Insert;ttermpro.exe=Alt+V"));
}

std::wstring ControlText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

void ShowWhatWillBeUsed(HWND dialog, int id) {
    const std::wstring typed = ControlText(dialog, id);
    std::wstring used;
    if (id == IDC_IGNORE_PROGRAMS_EDIT) {
        used = ProgramListText(ParseProgramList(typed));
    } else {
        const PasteKeysParse parse = ParsePasteKeys(typed);
        if (!parse.refused.empty())
            return; // left as typed: OK says what is wrong with it
        used = PasteKeysText(parse.rules);
    }
    if (used != typed)
        SetDlgItemTextW(dialog, id, used.c_str());
}

void OnInitDialog(HWND dialog) {
    g_openDialog = dialog;
    ApplyDialogFont(dialog);
    SetUpCountEdit(dialog, IDC_HISTORY_LIMIT_EDIT, State().HistoryLimit);
    SetUpCountEdit(dialog, IDC_MAX_HISTORY_EDIT, State().MaxHistory);
    CheckDlgButton(dialog, IDC_AUTOSTART_CHECK, IsAutoStartEnabled() ? BST_CHECKED : BST_UNCHECKED);
    for (const wchar_t* choice : kAreaChoices)
        SendDlgItemMessageW(dialog, IDC_AREA_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    SendDlgItemMessageW(dialog, IDC_AREA_COMBO, CB_SETCURSEL,
                        static_cast<WPARAM>(AreaComboPosition(State().EnabledArea)), 0);
    SetUpHotkeyEdit(dialog);
    CheckDlgButton(dialog, IDC_DUPLICATE_CHECK, State().RemoveDuplicateHistory ? BST_CHECKED : BST_UNCHECKED);
    SetUpProgramEdits(dialog);

    // The template has no position of its own: over the tool window, or mid-screen when the
    // dialog comes from the tray menu with the tool window hidden.
    PlaceDialogOverOwner(dialog);
    PostMessageW(dialog, WM_APP_COME_FORWARD, 0, 0);
}

// Opened from the tray menu, the dialog has no visible window of ours under it; the menu gave
// this process the right to come to the front, which is used once the dialog is shown.
void OnComeForward(HWND dialog) {
    if (GetForegroundWindow() != dialog)
        SetForegroundWindow(dialog);
}

// ---- The font button ------------------------------------------------------------------------

void OnChooseFont(HWND dialog) {
    LOGFONTW logFont = {};
    if (HFONT listFont = g_host.listFont ? g_host.listFont() : nullptr)
        GetObjectW(listFont, sizeof(logFont), &logFont);
    CHOOSEFONTW choose = {};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = dialog;
    choose.lpLogFont = &logFont;
    choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
    if (!ChooseFontW(&choose))
        return;
    if (HFONT font = CreateFontIndirectW(&logFont))
        g_host.replaceListFont(font);
}

// ---- OK -------------------------------------------------------------------------------------

void ApplyHistoryCounts(HWND dialog) {
    const HistoryCounts counts = SettleHistoryCounts(CountFromText(ControlText(dialog, IDC_HISTORY_LIMIT_EDIT)),
                                                     CountFromText(ControlText(dialog, IDC_MAX_HISTORY_EDIT)));
    State().HistoryLimit = counts.historyLimit;
    State().MaxHistory = counts.maxHistory;
    // A sealed history is not in memory; its file keeps its entries until it is opened.
    TabSlot& history = State().tabs[kHistoryTab];
    if (!history.encrypted && CutHistory(history.items, State().MaxHistory))
        g_host.saveHistory();
}

void ApplyHotkey(HWND dialog) {
    HWND main = g_host.main;
    if (main)
        UnregisterHotKey(main, kHotkeyId);
    State().HotkeyMod = PropNumber(dialog, kPropHotkeyMod);
    State().HotkeyKey = PropNumber(dialog, kPropHotkeyKey);
    if (!State().HotkeyMod || !State().HotkeyKey || !main)
        return;
    if (!RegisterToolHotkey(main, State().HotkeyMod, State().HotkeyKey)) {
        MessageBoxW(dialog, L"ホットキー登録に失敗しました", L"Error", MB_ICONERROR);
        State().HotkeyMod = 0;
        State().HotkeyKey = 0;
    }
}

// False when the paste keys hold an item that names no known key: said, and nothing applied.
bool ApplyProgramRules(HWND dialog) {
    const PasteKeysParse keys = ParsePasteKeys(ControlText(dialog, IDC_PASTE_KEYS_EDIT));
    if (!keys.refused.empty()) {
        MessageBoxW(dialog, PasteKeysRefusalText(keys.refused).c_str(), L"設定エラー", MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, IDC_PASTE_KEYS_EDIT));
        return false;
    }
    const PasteKeysChoice choice = PasteKeysFromDialog(keys.rules, State().PasteKeysGiven);
    State().PasteKeysGiven = choice.given;
    State().PasteKeys = choice.rules;
    State().IgnorePrograms = ParseProgramList(ControlText(dialog, IDC_IGNORE_PROGRAMS_EDIT));
    return true;
}

void OnOk(HWND dialog) {
    if (!ApplyProgramRules(dialog))
        return; // the dialog stays open on the box to mend
    ApplyHistoryCounts(dialog);
    State().RemoveDuplicateHistory = IsDlgButtonChecked(dialog, IDC_DUPLICATE_CHECK) == BST_CHECKED;
    State().EnabledArea =
        EnabledAreaFromComboPosition(static_cast<int>(SendDlgItemMessageW(dialog, IDC_AREA_COMBO, CB_GETCURSEL, 0, 0)));
    ApplyHotkey(dialog);
    if (IsDlgButtonChecked(dialog, IDC_AUTOSTART_CHECK) == BST_CHECKED)
        EnableAutoStart();
    else
        DisableAutoStart();
    g_host.saveSettings();
    g_host.refreshList(); // the history may have been cut and its visible count changed
    EndDialog(dialog, IDOK);
}

// ---- Destruction ------------------------------------------------------------------------------

void OnDestroy(HWND dialog) {
    RemovePropW(dialog, kPropHotkeyMod);
    RemovePropW(dialog, kPropHotkeyKey);
    UniqueFont font(static_cast<HFONT>(RemovePropW(dialog, kPropDialogFont)));
    if (g_openDialog == dialog)
        g_openDialog = nullptr;
}

INT_PTR OnCommand(HWND dialog, int id, int code) {
    if ((id == IDC_IGNORE_PROGRAMS_EDIT || id == IDC_PASTE_KEYS_EDIT) && code == EN_KILLFOCUS) {
        ShowWhatWillBeUsed(dialog, id);
        return TRUE;
    }
    switch (id) {
    case IDC_FONT_BUTTON:
        OnChooseFont(dialog);
        return TRUE;
    case IDOK:
        OnOk(dialog);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_APP_COME_FORWARD:
        OnComeForward(dialog);
        return TRUE;
    case WM_DPICHANGED:
        // The dialog manager rescales the dialog itself; the font we set follows afterwards.
        PostMessageW(dialog, WM_APP_REFRESH_FONT, 0, 0);
        return FALSE;
    case WM_APP_REFRESH_FONT:
        ApplyDialogFont(dialog);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_DESTROY:
        OnDestroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR OpenSettingsDialog(const SettingsHost& host) {
    if (g_openDialog) {
        // F12 or the tray menu again: one settings dialog is enough.
        SetForegroundWindow(g_openDialog);
        return IDCANCEL;
    }
    g_host = host;
    return DialogBoxParamW(ProgramInstance(), MAKEINTRESOURCEW(IDD_SETTINGS), host.main, SettingsDialogProc, 0);
}

std::wstring SystemKeyName(UINT virtualKey) {
    const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    wchar_t name[64] = {};
    const int length = GetKeyNameTextW(KeyNameParam(virtualKey, scanCode), name, 64);
    return length > 0 ? std::wstring(name, static_cast<size_t>(length)) : std::wstring();
}
