#include "tabs/TabSettingsDialog.h"

#include "resources/resource.h"
#include "storage/ItemFormat.h"
#include "tabs/TabContext.h"
#include "tabs/TabFiles.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"
#include "ui/Windowing.h"

namespace {

int g_configuredTab = -1;

TabType SelectedKind(HWND dialog) {
    if (IsDlgButtonChecked(dialog, IDC_TAB_KIND_MEMOLIST) == BST_CHECKED)
        return TabType::MemoList;
    if (IsDlgButtonChecked(dialog, IDC_TAB_KIND_MEMOPAD) == BST_CHECKED)
        return TabType::MemoPad;
    return TabType::Template;
}

void OnInitDialog(HWND dialog) {
    const TabSlot& slot = State().tabs[g_configuredTab];
    SetDlgItemTextW(dialog, IDC_TAB_NAME, slot.name.c_str());
    const int kind = slot.type == TabType::MemoList  ? IDC_TAB_KIND_MEMOLIST
                     : slot.type == TabType::MemoPad ? IDC_TAB_KIND_MEMOPAD
                                                     : IDC_TAB_KIND_TEMPLATE;
    CheckRadioButton(dialog, IDC_TAB_KIND_TEMPLATE, IDC_TAB_KIND_MEMOPAD, kind);
    for (int id : {IDC_TAB_NAME_LABEL, IDC_TAB_KIND_GROUP, IDC_TAB_NAME, IDC_TAB_KIND_TEMPLATE, IDC_TAB_KIND_MEMOLIST,
                   IDC_TAB_KIND_MEMOPAD, IDOK, IDCANCEL})
        SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(Host().listFont()), TRUE);
}

void OnOk(HWND dialog) {
    const int t = g_configuredTab;
    TabSlot& slot = State().tabs[t];
    wchar_t name[256] = {};
    GetDlgItemTextW(dialog, IDC_TAB_NAME, name, 256);
    const TabType kind = SelectedKind(dialog);
    slot.name = name;
    if (kind != slot.type)
        slot.items = ConvertEntries(slot.items, slot.type, kind);
    slot.type = kind;

    Host().saveSettings(); // the tab names and kinds go with the live settings
    SaveSlot(t);

    InvalidateRect(TabStripWindow(), nullptr, TRUE);
    if (t == View().currentTab)
        ShowTab(t); // a new kind shows as the list or the memo pad at once
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK TabSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (g_configuredTab < 1 || g_configuredTab >= kTabCount) {
        if (message == WM_INITDIALOG)
            EndDialog(dialog, IDCANCEL);
        return FALSE;
    }
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            OnOk(dialog);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

std::vector<HistoryItem> ConvertEntries(const std::vector<HistoryItem>& items, TabType from, TabType to) {
    if (from == to)
        return items;
    if (from == TabType::MemoPad)
        return items.empty() ? std::vector<HistoryItem>() : TextToItems(items.front().text);
    if (to == TabType::MemoPad) {
        std::vector<HistoryItem> memo;
        const std::wstring text = ItemsToText(items);
        if (!text.empty()) {
            HistoryItem entry;
            entry.text = text;
            memo.push_back(entry);
        }
        return memo;
    }
    return items;
}

INT_PTR OpenTabSettings(int t, HWND owner) {
    if (t < 1 || t >= kTabCount)
        return IDCANCEL;
    FlushMemoSave();
    g_configuredTab = t;
    return DialogBoxParamW(ProgramInstance(), MAKEINTRESOURCEW(IDD_TAB_SETTINGS), owner, TabSettingsProc, 0);
}

void OpenTabSettingsForCurrentTab() {
    const int t = View().currentTab;
    if (t < 0 || t >= kTabCount)
        return;
    if (t == 0) {
        MessageBoxW(Host().main, L"履歴タブの設定は変更出来ません。", L"エラー", MB_ICONERROR);
        return;
    }
    if (IsSealed(t) || State().tabs[t].tempUnlocked) {
        MessageBoxW(Host().main, L"暗号化中にタブの設定は変更出来ません。", L"エラー", MB_ICONERROR);
        return;
    }
    OpenTabSettings(t, Host().main);
    FocusTabView(FocusCause::Show);
}
