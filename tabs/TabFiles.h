// Every write of a data file goes through here, and so does telling the user when one did not
// happen. A failed save keeps the data in memory (the tab stays dirty) and is told once, until a
// save of that file works again; the next change or the exit tries again. A file that another
// program changed since the program last read or wrote it is never overwritten unasked.
#pragma once

#include "core/Types.h"
#include "storage/SlotFile.h"
#include "storage/TextFile.h"

#include <string>

// What a save can concern: the four tabs' files, then settings.ini.
inline constexpr int kSettingsSaveTarget = kTabCount;

// The file name of a save target, as the messages name it.
std::wstring SaveTargetName(int target);

// Saves tab t's file. True when the file holds the tab's entries afterwards, or when nothing
// may be written for the tab (sealed, unreadable). A failure is told to the user (once); a
// file changed elsewhere leads to a question, asked from the message loop.
bool SaveSlot(int t);

// A save that is part of a command the user is in the middle of (sealing, unsealing): a file
// changed elsewhere is asked about at once; a failure is left to the caller to tell.
SlotSave SaveSlotNow(int t, TabSlot& slot, const SlotSaveOptions& options);

// settings.ini: whether it may be written this run (it was readable or missing at start-up),
// and the result of a write, told like a tab's.
void NoteSettingsRead(FileRead read);
bool SettingsMayBeWritten();
void NoteSettingsSaved(bool saved);

// Handlers of the messages posted by the above (WM_APP_SAVE_FAILED, WM_APP_FILE_CONFLICT) and
// of the start-up report of files that could not be read (WM_APP_UNREADABLE_FILES).
void OnSaveFailed(int target);
void OnFileConflict(int t);
void OnUnreadableFiles();

// Writes what has not reached its file yet. At the exit (ask true) the user decides about files
// changed elsewhere and may retry a write that fails; when the session ends (ask false) such
// files are left as they are.
void SaveUnsavedChanges(bool ask);
