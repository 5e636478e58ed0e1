#include "tabs/TabLock.h"

#include "crypto/Envelope.h"
#include "storage/HistoryFile.h"
#include "storage/SlotFile.h"
#include "storage/ItemFormat.h"
#include "storage/TemplateFiles.h"
#include "storage/TextFile.h"
#include "tabs/TabContext.h"
#include "tabs/TabFiles.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"
#include "ui/Ids.h"
#include "ui/ItemList.h"
#include "ui/Windowing.h"

#include <algorithm>

namespace {

constexpr int kPasswordBuffer = 256; // at most 255 characters of a password are used

bool ValidTab(int t) {
    return t >= 0 && t < kTabCount;
}

void Error(const wchar_t* text) {
    MessageBoxW(Host().main, text, L"エラー", MB_ICONERROR);
}

void Done(const wchar_t* text) {
    MessageBoxW(Host().main, text, L"完了", MB_OK);
}

// The panel's read buffer; zeroed when the command is over, whatever path it takes.
struct PasswordBuffer {
    wchar_t chars[kPasswordBuffer] = {};
    explicit PasswordBuffer(HWND edit) {
        if (edit)
            GetWindowTextW(edit, chars, kPasswordBuffer);
    }
    ~PasswordBuffer() { SecureZeroMemory(chars, sizeof(chars)); }
    PasswordBuffer(const PasswordBuffer&) = delete;
    PasswordBuffer& operator=(const PasswordBuffer&) = delete;
    bool Empty() const { return chars[0] == L'\0'; }
};

// A password handed to an operation lives only for that operation.
struct TransientPassword {
    std::wstring text;
    explicit TransientPassword(const wchar_t* chars) : text(chars) {}
    ~TransientPassword() { WipeString(text); }
    TransientPassword(const TransientPassword&) = delete;
    TransientPassword& operator=(const TransientPassword&) = delete;
};

void ClearPasswordEdits() {
    for (HWND edit : {ViewWindows().password, ViewWindows().passwordConfirm})
        if (edit)
            SetWindowTextW(edit, L"");
}

// Typed passwords do not stay in the hidden edits once their command is over.
void EndSetupAndShow() {
    View().encryptSetupTab = -1;
    ClearPasswordEdits();
    ShowTab(View().currentTab);
}

std::wstring FileNameOf(int t) {
    return L"「" + State().tabs[t].fileName + L"」";
}

} // namespace

void BeginTabEncryption(int t) {
    if (!ValidTab(t) || State().tabs[t].unreadable)
        return;
    if (State().tabs[t].items.empty()) {
        Error(L"暗号化するデータ（アイテム）がありません。");
        return;
    }
    // The tab in setup is put on screen like any other tab switched to: its panel asks for the
    // new password, which gets the keyboard.
    View().encryptSetupTab = t;
    SwitchToTab(t);
    InvalidateRect(Host().main, nullptr, TRUE);
    UpdateWindow(Host().main);
}

bool EncryptTab(int t, const std::wstring& password) {
    if (!ValidTab(t))
        return false;
    // The tab is sealed from its own entries (a memo pad's are kept up to date as it is typed
    // in); only a seal that is on disk changes its state.
    TabSlot& slot = State().tabs[t];
    SlotSaveOptions seal;
    seal.sealWith = &password;
    // What another PC wrote into the file meanwhile is merged in and sealed with the rest.
    const SlotSave result = SaveSlotNow(t, slot, seal);
    if (result != SlotSave::Saved && result != SlotSave::Merged) {
        if (result != SlotSave::Refused) // sealed elsewhere meanwhile: told already
            Error((L"このタブを暗号化できませんでした。" + FileNameOf(t) +
                   L"に書き込めません。\nタブは暗号化する前のままです。")
                      .c_str());
        return false;
    }
    SealSlotInMemory(slot);
    HistoryItem placeholder;
    placeholder.text = kEmptyEncryptedTab;
    slot.items = {placeholder};
    Done(L"このタブを暗号化しました。");
    return true;
}

void UnlockTab(int t, const std::wstring& password, bool forRun) {
    if (!ValidTab(t))
        return;
    if (password.empty()) {
        Error(L"パスワードを入力してください。");
        return;
    }
    TabSlot& slot = State().tabs[t];
    // The opened state is built aside: the tab changes only once it is complete, and an
    // unseal that cannot be written leaves the tab sealed.
    TabSlot opened = slot;
    switch (OpenTabFile(slot, password, opened.items, &opened.diskStamp)) {
    case OpenResult::FileUnreadable:
        return; // a file that vanished or is locked leaves the tab as it was, without a word
    case OpenResult::WrongPassword:
        Error(L"パスワードが違うか、復号に失敗しました。");
        return;
    case OpenResult::Opened:
        break;
    }
    opened.encrypted = false;
    opened.dirty = false;
    opened.base = opened.items; // what a change from another PC is merged against
    opened.baseIsLastWrite = false;
    if (forRun) {
        opened.tempUnlocked = true;
        opened.password = password;
    } else {
        opened.tempUnlocked = false;
        SlotSaveOptions justRead; // the sealed file was read just now
        justRead.fileJustRead = true;
        if (SaveSlotNow(t, opened, justRead) != SlotSave::Saved) {
            WipeEntries(opened);
            Error((L"暗号化を解除できませんでした。" + FileNameOf(t) +
                   L"に書き込めません。\nタブは暗号化されたままです。")
                      .c_str());
            return;
        }
    }
    slot = std::move(opened);
    ShowTab(t);
    Done(forRun ? L"一時的に解除しました。終了時に自動で再暗号化されます。" : L"復号に成功し、暗号化を解除しました。");
}

bool RelockTab(int t) {
    if (!ValidTab(t))
        return false;
    FlushMemoSave(); // the last keystrokes go into the sealed file before the text leaves memory
    TabSlot& slot = State().tabs[t];
    if (slot.dirty && !SaveSlot(t)) {
        // Its file does not hold every change yet: wiping the entries now would lose them.
        Error((FileNameOf(t) + L"に保存できていない変更があるため、暗号化状態に戻せません。\n"
                               L"ファイルを使っているプログラムを閉じてから、もう一度お試しください。")
                  .c_str());
        return false;
    }
    SealSlotInMemory(slot);
    ShowTab(View().currentTab);
    return true;
}

void CancelEncryptionSetup() {
    View().encryptSetupTab = -1;
    ClearPasswordEdits();
    for (HWND control : {ViewWindows().confirmLabel, ViewWindows().passwordConfirm, ViewWindows().seal,
                         ViewWindows().cancelSeal, ViewWindows().lockImage, ViewWindows().panelLabel,
                         ViewWindows().password, ViewWindows().unlockForRun, ViewWindows().unlockForGood})
        if (control)
            ShowWindow(control, SW_HIDE);
    if (Host().list)
        ShowWindow(Host().list, SW_SHOW);
}

void OnPanelButton(int id) {
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

void OnUnlockCommand(bool forRun) {
    const int t = View().currentTab;
    {
        PasswordBuffer typed(ViewWindows().password);
        TransientPassword password(typed.chars);
        UnlockTab(t, password.text, forRun);
    }
    if (IsSealed(t)) {
        if (ViewWindows().password)
            SetFocus(ViewWindows().password); // the edit keeps the typed text for a second try
    } else {
        ClearPasswordEdits();
    }
}

void OnSealCommand() {
    const int t = View().encryptSetupTab;
    if (ValidTab(t) && State().tabs[t].items.empty()) {
        Error(L"暗号化するデータ（アイテム）がありません。");
        EndSetupAndShow();
        return;
    }
    PasswordBuffer first(ViewWindows().password);
    PasswordBuffer second(ViewWindows().passwordConfirm);
    if (first.Empty()) {
        Error(L"パスワードを入力してください。");
        if (ViewWindows().password)
            SetFocus(ViewWindows().password);
        return;
    }
    if (wcscmp(first.chars, second.chars) != 0) {
        Error(L"パスワードが一致しません。暗号化を中止します。");
        EndSetupAndShow();
        return;
    }
    bool sealed;
    {
        TransientPassword password(first.chars);
        sealed = EncryptTab(t, password.text);
    }
    ClearPasswordEdits();
    if (sealed) {
        View().encryptSetupTab = -1;
        ShowTab(t);
    } else {
        EndSetupAndShow(); // the tab is as it was before: plain, its entries on screen
    }
}

void OnCancelSealCommand() {
    EndSetupAndShow();
}

void OnSealKey() {
    const int t = View().currentTab;
    if (View().encryptSetupTab != -1 || !ValidTab(t) || ContentUnavailable(State().tabs[t]))
        return;
    if (!State().tabs[t].password.empty()) {
        if (!RelockTab(t))
            return;
        ClearItemList(Host().list);
        if (ViewWindows().password) {
            SetWindowTextW(ViewWindows().password, L"");
            SetFocus(ViewWindows().password);
        }
        InvalidateRect(TabStripWindow(), nullptr, TRUE);
        Host().layout();
        return;
    }
    BeginTabEncryption(t);
}

void ForgetOpenedTabs() {
    for (TabSlot& slot : State().tabs) {
        if (!slot.tempUnlocked)
            continue;
        SealSlotInMemory(slot);
    }
}
