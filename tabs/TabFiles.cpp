#include "tabs/TabFiles.h"

#include "storage/Settings.h"
#include "tabs/TabContext.h"
#include "ui/Ids.h"

#include <array>

namespace {

// One flag per save target: told once, until a save of that file works again.
std::array<bool, kTabCount + 1> g_failureTold{};
std::array<bool, kTabCount> g_conflictPending{};
bool g_settingsUnreadable = false;
TabFilesCalls g_calls;

int g_memoTab = -1;              // the memo pad whose typing waits for its write, -1 none
uint64_t g_memoFirstUnsaved = 0; // GetTickCount64() at its first key not yet written

bool ValidTab(int t) {
    return t >= 0 && t < kTabCount;
}

void NoteResult(int target, bool saved) {
    if (saved) {
        g_failureTold[target] = false;
        return;
    }
    if (g_failureTold[target])
        return;
    g_failureTold[target] = true;
    // Told from the message loop: a save can happen deep inside a capture or a command.
    if (Host().main)
        PostMessageW(Host().main, WM_APP_SAVE_FAILED, static_cast<WPARAM>(target), 0);
}

std::wstring Quoted(int target) {
    return L"「" + SaveTargetName(target) + L"」";
}

int AskAboutChangedFile(int t, UINT buttons, const std::wstring& choices) {
    const std::wstring text = Quoted(t) + L"は Nomaclip の外で変更されています。\n\n" + choices;
    return MessageBoxW(Host().main, text.c_str(), L"確認", buttons | MB_ICONWARNING);
}

// The tab was read again from its file: the view shows what is there now.
void ShowReloadedTab(int t) {
    if ((View().currentTab == t || (t == kHistoryTab && View().historyShown)) && g_calls.showTab)
        g_calls.showTab(View().currentTab);
}

// The user chose to read tab t's file again: what its memo pad still waits to write is dropped
// with the rest of the tab's changes.
void DropMemoSave(int t) {
    if (g_memoTab != t)
        return;
    g_memoTab = -1;
    if (Host().main)
        KillTimer(Host().main, TIMER_MEMO_SAVE);
}

} // namespace

void InitTabFiles(const TabFilesCalls& calls) {
    g_calls = calls;
}

std::wstring SaveTargetName(int target) {
    if (ValidTab(target))
        return State().tabs[target].fileName;
    return kSettingsFileName;
}

bool SaveSlot(int t) {
    if (!ValidTab(t))
        return false;
    TabSlot& slot = State().tabs[t];
    switch (SaveSlotFile(slot, State().MaxHistory)) {
    case SlotSave::Saved:
        NoteResult(t, true);
        return true;
    case SlotSave::Refused:
        return !slot.dirty;
    case SlotSave::Failed:
        NoteResult(t, false);
        return false;
    case SlotSave::ChangedOnDisk:
        if (!g_conflictPending[t] && Host().main) {
            g_conflictPending[t] = true;
            PostMessageW(Host().main, WM_APP_FILE_CONFLICT, static_cast<WPARAM>(t), 0);
        }
        return false;
    }
    return false;
}

SlotSave SaveSlotNow(int t, TabSlot& slot, const SlotSaveOptions& options) {
    SlotSave result = SaveSlotFile(slot, State().MaxHistory, options);
    if (result == SlotSave::ChangedOnDisk &&
        AskAboutChangedFile(t, MB_YESNO, L"Nomaclip の内容で上書きしますか？") == IDYES) {
        SlotSaveOptions overwrite = options;
        overwrite.overwriteChanges = true;
        result = SaveSlotFile(slot, State().MaxHistory, overwrite);
    }
    if (result == SlotSave::Saved)
        g_failureTold[t] = false;
    return result;
}

void NoteSettingsRead(FileRead read) {
    g_settingsUnreadable = read == FileRead::Unreadable;
}

bool SettingsMayBeWritten() {
    return !g_settingsUnreadable;
}

void NoteSettingsSaved(bool saved) {
    NoteResult(kSettingsSaveTarget, saved);
}

void OnSaveFailed(int target) {
    if (target < 0 || target > kSettingsSaveTarget)
        return;
    const std::wstring text = Quoted(target) +
                              L"を保存できませんでした。\n\n"
                              L"他のプログラムがファイルを使用しているか、フォルダーに書き込めません"
                              L"（読み取り専用のフォルダーや ZIP ファイルの中から起動した場合など）。\n"
                              L"内容はメモリに残っています。次に変更したときと終了するときに、もう一度保存します。";
    MessageBoxW(Host().main, text.c_str(), L"エラー", MB_ICONWARNING);
}

void OnFileConflict(int t) {
    if (!ValidTab(t))
        return;
    TabSlot& slot = State().tabs[t];
    if (!slot.dirty || slot.encrypted || slot.unreadable) {
        g_conflictPending[t] = false;
        return;
    }
    const int answer = AskAboutChangedFile(t, MB_YESNOCANCEL,
                                           L"はい：Nomaclip の内容で上書きします。\n"
                                           L"いいえ：ファイルを読み込み直します（Nomaclip での変更は失われます）。\n"
                                           L"キャンセル：今は保存しません（次に変更したときに、もう一度たずねます）。");
    g_conflictPending[t] = false;
    if (answer == IDYES) {
        SlotSaveOptions overwrite;
        overwrite.overwriteChanges = true;
        NoteResult(t, SaveSlotFile(slot, State().MaxHistory, overwrite) == SlotSave::Saved);
    } else if (answer == IDNO) {
        DropMemoSave(t);
        LoadSlot(slot, State().MaxHistory);
        ShowReloadedTab(t);
    }
}

void OnUnreadableFiles() {
    std::wstring names;
    if (g_settingsUnreadable)
        names += L"  " + SaveTargetName(kSettingsSaveTarget) + L"\n";
    for (const TabSlot& slot : State().tabs)
        if (slot.unreadable)
            names += L"  " + slot.fileName + L"\n";
    if (names.empty())
        return;
    const std::wstring text = L"次のファイルを読み込めませんでした（他のプログラムが使用中か、アクセスが拒否されたか、"
                              L"大きすぎます）。\n\n" +
                              names +
                              L"\nこれらのファイルは、今回は一切変更しません。対応するタブは使用できません。"
                              L"Nomaclip を起動し直すと、もう一度読み込みます。";
    MessageBoxW(Host().main, text.c_str(), L"エラー", MB_ICONWARNING);
}

void SaveUnsavedChanges(bool ask) {
    FlushMemoSave();
    for (int t = 0; t < kTabCount; ++t) {
        TabSlot& slot = State().tabs[t];
        SlotSaveOptions options;
        while (slot.dirty) {
            const SlotSave result = SaveSlotFile(slot, State().MaxHistory, options);
            if (result == SlotSave::Saved || result == SlotSave::Refused || !ask)
                break;
            if (result == SlotSave::ChangedOnDisk) {
                if (AskAboutChangedFile(t, MB_YESNO,
                                        L"はい：Nomaclip の内容で上書きします。\n"
                                        L"いいえ：上書きせずに終了します（Nomaclip での変更は失われます）。") != IDYES)
                    break;
                options.overwriteChanges = true;
                continue;
            }
            const std::wstring text = Quoted(t) + L"を保存できません。\n\n"
                                                  L"再試行：もう一度保存します。\n"
                                                  L"キャンセル：保存せずに終了します（最後の変更は失われます）。";
            if (MessageBoxW(Host().main, text.c_str(), L"エラー", MB_RETRYCANCEL | MB_ICONWARNING) != IDRETRY)
                break;
        }
    }
}

void ScheduleMemoSave(int t) {
    if (!ValidTab(t))
        return;
    if (g_memoTab != -1 && g_memoTab != t)
        FlushMemoSave();
    const uint64_t now = GetTickCount64();
    if (g_memoTab == -1) {
        g_memoTab = t;
        g_memoFirstUnsaved = now;
    }
    State().tabs[t].dirty = true; // the exit and the end of the session write it too
    const uint32_t delay = MemoSaveDelay(now - g_memoFirstUnsaved);
    if (delay == 0 || !Host().main) {
        FlushMemoSave();
        return;
    }
    SetTimer(Host().main, TIMER_MEMO_SAVE, delay, nullptr); // each key starts the pause anew
}

void FlushMemoSave() {
    if (g_memoTab == -1)
        return;
    const int t = g_memoTab;
    g_memoTab = -1;
    if (Host().main)
        KillTimer(Host().main, TIMER_MEMO_SAVE);
    SaveSlot(t);
}
