// Every write of a data file goes through here, and so does telling the user when one did not
// happen. A failed save keeps the data in memory (the tab stays dirty) and is told once, until a
// save of that file works again; the next change or the exit tries again. A file that another
// program or another PC changed since the program last read or wrote it is taken in: merged with
// what is unsaved here, never overwritten and never asked about (storage/SlotFile.h).
#pragma once

#include "core/Types.h"
#include "storage/SlotFile.h"
#include "storage/TextFile.h"

#include <cstdint>
#include <functional>
#include <string>

// The entries the list shows selected and at its top: what a list shown again stays on.
struct ViewAnchor {
    EntryId selected = kNoEntry;
    EntryId top = kNoEntry;
};

// What the files ask of the parts above them; handed over by InitTabs.
struct TabFilesCalls {
    std::function<void(int)> showTab; // puts a tab on screen again once its file was read anew
    std::function<ViewAnchor()> viewAnchor; // taken before the entries change
    std::function<void(int, const ViewAnchor&)> showTakenIn; // shows them again, staying on the anchor
};
void InitTabFiles(const TabFilesCalls& calls);

// What a save can concern: the four tabs' files, then settings.ini.
inline constexpr int kSettingsSaveTarget = kTabCount;

// The file name of a save target, as the messages name it.
std::wstring SaveTargetName(int target);

// Saves tab t's file. True when the file holds the tab's entries afterwards, or when nothing
// may be written for the tab (sealed, unreadable). A failure is told to the user (once); a file
// changed elsewhere is merged, and the tab shows the merge.
bool SaveSlot(int t);

// A save that is part of a command the user is in the middle of (sealing, unsealing): a failure
// is left to the caller to tell.
SlotSave SaveSlotNow(int t, TabSlot& slot, const SlotSaveOptions& options);

// Tab t's file is read if it changed elsewhere, and taken in (merged with what is unsaved here,
// the merge written when the file lacks it). False when it could not be read just now (a writer
// still holds it): ask again shortly.
bool TakeInTabFile(int t);

// The conflict copies a sync service left beside the data files are merged into their files
// (every entry of either side) and moved into backup\conflicts\; a balloon says once what was
// taken in. A copy that cannot be read now, or is sealed with a password this run does not
// hold, stays where it is. False when one could not be read now: ask again shortly.
bool AbsorbConflictCopies();

// settings.ini: whether it may be written this run (it was readable or missing at start-up),
// and the result of a write, told like a tab's.
void NoteSettingsRead(FileRead read);
bool SettingsMayBeWritten();
void NoteSettingsSaved(bool saved);

// Handlers of the message posted by the above (WM_APP_SAVE_FAILED) and of the start-up report
// of files that could not be read (WM_APP_UNREADABLE_FILES).
void OnSaveFailed(int target);
void OnUnreadableFiles();

// Writes what has not reached its file yet, merging files changed elsewhere. At the exit (ask
// true) the user may retry a write that fails; when the session ends (ask false) nothing is asked.
void SaveUnsavedChanges(bool ask);

// ---- The memo pad's writes -------------------------------------------------------------------

// Typing in a memo pad changes its tab's entry at every key, but its file is written only once
// typing pauses, and at the latest a few seconds after the first key not yet written: on a
// slow disk, a network share or a synced folder a write per key would make typing stutter and
// upload every key. FlushMemoSave writes at once whatever waits; it runs when the memo pad
// loses the keyboard, before a tab switch, a hide, a relock, the tab settings, the exit and
// the end of the session. A memo pad open for the run is sealed by each write, which costs two
// key derivations. The timer is TIMER_MEMO_SAVE of the main window.
inline constexpr uint32_t kMemoSavePauseMs = 1000;
inline constexpr uint32_t kMemoSaveLongestWaitMs = 5000;

// How long the write of a memo pad still waits, `waitedMs` after the first key it has not
// written: the pause in typing, cut short so that no key waits longer than the longest wait;
// 0: now.
inline uint32_t MemoSaveDelay(uint64_t waitedMs, uint32_t pauseMs = kMemoSavePauseMs,
                              uint32_t longestWaitMs = kMemoSaveLongestWaitMs) {
    if (waitedMs >= longestWaitMs)
        return 0;
    const uint64_t left = longestWaitMs - waitedMs;
    return static_cast<uint32_t>(left < pauseMs ? left : pauseMs);
}

// Memo pad t was typed in: its tab holds changes its file does not have yet (dirty), written
// when typing pauses. A change of another tab's memo pad first writes what waits for that one.
void ScheduleMemoSave(int t);
// Writes what waits for a pause in typing, now.
void FlushMemoSave();
