// A tab's data file as one thing: loading it into its slot, saving the slot with the rules every
// save obeys, and taking in what another program or another PC wrote into it. Nothing is ever
// written for a sealed tab (its entries are not in memory) or for a tab whose file could not be
// read (its content is unknown); a tab open for the run is written sealed or not at all.
//
// The folder may be shared between PCs by a sync service. Each slot keeps its base: the entries
// as the file held them when the program last read or wrote it. A file that differs from the base
// changed elsewhere: with nothing unsaved here its entries are simply taken; otherwise base, ours
// and theirs are merged (core/Merge.h), and the result is written only when it differs from
// theirs, so that two PCs settle after one round. Nobody is asked whose work to keep.
#pragma once

#include "core/Types.h"

#include <string>
#include <string_view>
#include <vector>

// Loads the slot's file (history.ini with the MaxHistory cut, or a template file read by the
// slot's kind): entries, lock state, whether it could be read, its disk stamp and its base.
// Nothing unsaved is left afterwards.
void LoadSlot(TabSlot& slot, int maxHistory);

enum class SlotSave {
    Saved,   // the file holds the slot's entries now
    Merged,  // the file had changed elsewhere: its changes are in the slot now, and the file holds the merge
    Refused, // nothing may be written for this slot (sealed, unreadable, open without password, sealed elsewhere)
    Failed,  // the write did not happen; the previous file stays
};

struct TakeIn;

struct SlotSaveOptions {
    bool fileJustRead = false;              // the file was read a moment ago (opening a sealed tab for good)
    const std::wstring* sealWith = nullptr; // seal with this password (the tab being sealed)
    TakeIn* takenIn = nullptr;              // told what taking in the file did, when the save found it changed
};

// Writes the slot's entries: the history with its MaxHistory cut, a template tab by its kind,
// sealed with the slot's password while it is open for the run. Sealing with `sealWith` goes
// through the template writer, so the history is sealed whole. A file changed elsewhere since it
// was last read or written is merged first (Merged). Afterwards `dirty` tells whether the slot
// still holds changes its file does not have.
SlotSave SaveSlotFile(TabSlot& slot, int maxHistory, const SlotSaveOptions& options = {});

// What taking in a changed file did to the slot.
struct TakeIn {
    enum Outcome {
        Unchanged, // the file holds what the base holds (our own write, or nothing new)
        TakenIn,   // the slot holds the file's entries, merged with what was unsaved here
        Relocked,  // the file was sealed elsewhere with a password this run does not hold: the tab is sealed here too
        NotNow,    // the file could not be read just now (being written): try again shortly
    };
    Outcome outcome = Unchanged;
    bool needsWrite = false;  // the slot holds what the file lacks: save it
    std::wstring keptAside;   // Relocked with unsaved changes: the file under backup\ they were written to
};

// Reads the slot's file if it differs from its stamp and takes in what changed since the base.
// `oursChangedNow`: a change made here is about to be saved (a save found the file changed).
TakeIn TakeInSlotFile(TabSlot& slot, int maxHistory, bool oursChangedNow = false);

// A conflict copy of the slot's file (a sync service's second version): every entry of either
// side kept (a two-way merge into the slot, which then holds changes its file lacks when
// `changed`). Nothing changes when the copy cannot be read now (NotNow), or when it is sealed
// with a password this run does not hold or the tab has no entries in memory (Left: the copy
// stays where it is).
enum class Absorb { Done, NotNow, Left };
Absorb AbsorbConflictCopy(TabSlot& slot, const std::wstring& copyName, int maxHistory, bool& changed);

// A change made here waits for the slot's file (a memo pad being typed in).
void NoteUnsavedChange(TabSlot& slot);

// True when the slot's file is the history file.
bool IsHistorySlot(const TabSlot& slot);

// ---- The file work of sealing and opening, without windows or messages ----

// Writes the slot's entries sealed with password (the template writer, no entry limit);
// true when the sealed file is in place.
bool SealTabFile(const TabSlot& slot, const std::wstring& password);

enum class OpenResult { FileUnreadable, WrongPassword, Opened };
// Reads and opens the slot's sealed file; on success items holds the entries.
// With `stamp`, also what the file looked like as it was read.
OpenResult OpenTabFile(const TabSlot& slot, const std::wstring& password, std::vector<HistoryItem>& items,
                       FileStamp* stamp = nullptr);

// The text of a sealed file as the opener reads it: trailing blanks and control bytes and a
// leading byte order mark dropped, decoded from UTF-8.
std::wstring SealedFileText(std::string_view bytes);

// The entries of an opened text: a memo pad's whole text, or the item text of a list tab;
// the placeholder of an empty sealed tab is never kept.
std::vector<HistoryItem> ItemsFromOpenedText(const std::wstring& text, TabType type);

// Overwrites a secret's characters before the string lets go of them; the same for every text
// and label of a list of entries, which is emptied.
void WipeString(std::wstring& secret);
void WipeItems(std::vector<HistoryItem>& items);
// The same for a slot's entries and their base.
void WipeEntries(TabSlot& slot);
// The tab is sealed in memory: its entries, their base and its password wiped, so that nothing
// of it can reach its file in plain text afterwards.
void SealSlotInMemory(TabSlot& slot);

// The entries `theirs` holds that ours holds too (the same text, the k-th of that text with the
// k-th) take ours' ids, so that a list shown again keeps its selection on them.
void AdoptIds(const std::vector<HistoryItem>& ours, std::vector<HistoryItem>& theirs);
