// A tab's data file as one thing: loading it into its slot, and saving the slot with the
// rules every save obeys. Nothing is ever written for a sealed tab (its entries are not in
// memory) or for a tab whose file could not be read (its content is unknown); a tab open for
// the run is written sealed or not at all; a file that another program changed since the
// program last read or wrote it is not overwritten unless the caller says so.
#pragma once

#include "core/Types.h"

#include <string>

// Loads the slot's file (history.ini with the MaxHistory cut, or a template file read by the
// slot's kind): entries, lock state, whether it could be read, its disk stamp. Nothing unsaved
// is left afterwards.
void LoadSlot(TabSlot& slot, int maxHistory);

enum class SlotSave {
    Saved,         // the file holds the slot's entries now
    Refused,       // nothing may be written for this slot (sealed, unreadable, open without password)
    Failed,        // the write did not happen; the previous file stays
    ChangedOnDisk, // another program changed the file since it was last read or written
};

struct SlotSaveOptions {
    bool overwriteChanges = false;          // write even over a file changed elsewhere
    const std::wstring* sealWith = nullptr; // seal with this password (the tab being sealed)
};

// Writes the slot's entries: the history with its MaxHistory cut, a template tab by its kind,
// sealed with the slot's password while it is open for the run. Sealing with `sealWith`
// goes through the template writer, so the history is sealed whole. Afterwards `dirty` tells
// whether the slot still holds changes its file does not have.
SlotSave SaveSlotFile(TabSlot& slot, int maxHistory, const SlotSaveOptions& options = {});

// True when the slot's file is the history file.
bool IsHistorySlot(const TabSlot& slot);
