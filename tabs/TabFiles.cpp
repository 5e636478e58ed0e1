#include "tabs/TabFiles.h"

#include "core/ConflictNames.h"
#include "storage/Settings.h"
#include "tabs/TabContext.h"
#include "ui/Ids.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

// One flag per save target: told once, until a save of that file works again.
std::array<bool, kTabCount + 1> g_failureTold{};
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

void Tell(const std::wstring& text) {
    if (Host().tell)
        Host().tell(text);
}

ViewAnchor AnchorOfView() {
    return g_calls.viewAnchor ? g_calls.viewAnchor() : ViewAnchor{};
}

// The tab's entries changed from its file: where it is on screen it shows them, staying on the
// entries the view was on before they changed.
void ShowTakenIn(int t, const ViewAnchor& anchor) {
    if (g_calls.showTakenIn)
        g_calls.showTakenIn(t, anchor);
}

// Sealed elsewhere with another password: the tab is sealed here too, and what was unsaved
// here lies in a file of its own.
void TellRelocked(int t, const TakeIn& in) {
    std::wstring text = Quoted(t) + L"は別の PC で、この PC のパスワードとは別のパスワードで暗号化されたため、"
                                    L"このタブを暗号化された状態に戻しました。";
    if (!in.keptAside.empty())
        text += L"この PC での保存していない変更は「" + in.keptAside + L"」に保存しました。";
    Tell(text);
    if (g_memoTab == t)
        g_memoTab = -1; // nothing of it is in memory any more
    if (g_calls.showTab && (View().currentTab == t || (t == kHistoryTab && View().historyShown)))
        g_calls.showTab(View().currentTab);
}

// What a save that found the file changed elsewhere means for the view.
void AfterTakeIn(int t, SlotSave result, const TakeIn& in, const ViewAnchor& anchor) {
    if (in.outcome == TakeIn::Relocked)
        TellRelocked(t, in);
    else if (result == SlotSave::Merged)
        ShowTakenIn(t, anchor);
}

// The file names of the folder that are conflict copies of a data file, with that file.
std::vector<std::pair<std::wstring, std::wstring>> ConflictCopiesInFolder() {
    std::vector<std::pair<std::wstring, std::wstring>> copies;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(DataFilePath(L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return copies;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::wstring of = ConflictCopyOf(found.cFileName);
        if (!of.empty())
            copies.emplace_back(found.cFileName, of);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return copies;
}

// Moves a conflict copy that was taken in into backup\conflicts\ (never deleted); a name that
// is taken there gets a number.
bool MoveIntoConflictsFolder(const std::wstring& copyName) {
    const std::wstring backup = DataFilePath(L"backup");
    const std::wstring folder = backup + L"\\conflicts";
    CreateDirectoryW(backup.c_str(), nullptr); // there already: fine; not made: the move below fails
    CreateDirectoryW(folder.c_str(), nullptr);
    return !MoveToFreeName(DataFilePath(copyName), 99, [&](int n) {
                return folder + L"\\" + (n == 1 ? copyName : std::to_wstring(n) + L" " + copyName);
            }).empty();
}

// Saves `slot` (tab t's, or a copy of it being opened) and shows what a file changed elsewhere
// brought into tab t.
SlotSave SaveAndShow(int t, TabSlot& slot, SlotSaveOptions options) {
    TakeIn in;
    options.takenIn = &in;
    const ViewAnchor anchor = AnchorOfView();
    const SlotSave result = SaveSlotFile(slot, State().MaxHistory, options);
    if (&slot == &State().tabs[t])
        AfterTakeIn(t, result, in, anchor);
    return result;
}

int TabOfFile(const std::wstring& fileName) {
    for (int t = 0; t < kTabCount; ++t)
        if (CompareStringOrdinal(State().tabs[t].fileName.c_str(), -1, fileName.c_str(), -1, TRUE) == CSTR_EQUAL)
            return t;
    return -1;
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
    switch (SaveAndShow(t, slot, {})) {
    case SlotSave::Saved:
    case SlotSave::Merged:
        NoteResult(t, true);
        return true;
    case SlotSave::Refused:
        return !slot.dirty;
    case SlotSave::Failed:
        NoteResult(t, false);
        return false;
    }
    return false;
}

SlotSave SaveSlotNow(int t, TabSlot& slot, const SlotSaveOptions& options) {
    const SlotSave result = SaveAndShow(t, slot, options);
    if (result == SlotSave::Saved || result == SlotSave::Merged)
        g_failureTold[t] = false;
    return result;
}

bool TakeInTabFile(int t) {
    if (!ValidTab(t))
        return true;
    TabSlot& slot = State().tabs[t];
    const ViewAnchor anchor = AnchorOfView();
    const TakeIn in = TakeInSlotFile(slot, State().MaxHistory);
    switch (in.outcome) {
    case TakeIn::Unchanged:
        return true;
    case TakeIn::NotNow:
        return false;
    case TakeIn::Relocked:
        TellRelocked(t, in);
        return true;
    case TakeIn::TakenIn:
        break;
    }
    ShowTakenIn(t, anchor);
    // A memo pad being typed in writes the merge when typing pauses, as it would have anyway.
    if (in.needsWrite && g_memoTab != t)
        SaveSlot(t);
    return true;
}

bool AbsorbConflictCopies() {
    bool allRead = true;
    std::wstring taken;
    for (const auto& [copy, of] : ConflictCopiesInFolder()) {
        Absorb absorbed = Absorb::Left;
        const int t = TabOfFile(of);
        if (t >= 0) {
            if (g_memoTab == t)
                FlushMemoSave(); // what is typed is written first; the copy is merged into it
            bool changed = false;
            const ViewAnchor anchor = AnchorOfView();
            absorbed = AbsorbConflictCopy(State().tabs[t], copy, State().MaxHistory, changed);
            if (absorbed == Absorb::Done && changed) {
                ShowTakenIn(t, anchor);
                if (!SaveSlot(t))
                    absorbed = Absorb::NotNow; // the copy goes only once its entries are in the file
            }
        } else if (Host().absorbSettingsCopy) {
            absorbed = Host().absorbSettingsCopy(copy) ? Absorb::Done : Absorb::NotNow;
        }
        allRead = allRead && absorbed != Absorb::NotNow;
        if (absorbed == Absorb::Done && MoveIntoConflictsFolder(copy))
            taken += L"\n" + copy;
    }
    if (!taken.empty())
        Tell(L"同期サービスが残した競合コピーを取り込み、backup\\conflicts フォルダーに移しました：" + taken);
    return allRead;
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
        while (slot.dirty) {
            const SlotSave result = SaveSlotFile(slot, State().MaxHistory);
            if (result != SlotSave::Failed || !ask)
                break;
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
    NoteUnsavedChange(State().tabs[t]); // the exit and the end of the session write it too
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
