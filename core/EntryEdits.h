// Changes the user makes to entries in a list: locking and reordering the history, reordering
// template entries, and the text form of the item edit dialog. Plain functions on the vectors;
// the list's window code saves and refreshes around them.
#pragma once

#include "core/Types.h"

#include <string>
#include <string_view>
#include <vector>

// Moves history[row] between the groups: a locked entry becomes unlocked and goes to the first
// place after the locked group, an unlocked one becomes locked and goes to the top. Returns the
// entry's new index; a row out of range changes nothing and is returned unchanged.
int ToggleEntryLock(std::vector<HistoryItem>& history, int row);

// Moves history[from] so that it ends at index `to`, taking the group of the place it lands in:
// above the remaining locked entries it is locked, below them unlocked, and exactly at their
// boundary it keeps its state. False (and nothing changed) unless both are valid and differ.
bool MoveHistoryItem(std::vector<HistoryItem>& history, int from, int to);

// Moves items[from] so that it ends at index `to`. False (nothing changed) unless both are
// valid and differ.
bool MoveItem(std::vector<HistoryItem>& items, int from, int to);

// Where a dragged row lands: the insertion mark sits on `markRow`, after it when `after`.
// Returns the index the entry takes once it is out of the list, or -1 when the drop changes
// nothing (no mark, or the entry's own place).
int DropTarget(int sourceRow, int markRow, bool after);

// Adds an entry that has no place yet: on the history at the top of the unlocked group, as a
// new copy would go; on any other tab at the end. Returns its index.
int InsertEntry(std::vector<HistoryItem>& items, bool history, HistoryItem entry);

// Removes items[row] unless it is out of range or (when `keepLocked`) locked. True when removed.
bool RemoveItem(std::vector<HistoryItem>& items, int row, bool keepLocked);

// ---- The item edit dialog's text ------------------------------------------------------------

inline constexpr wchar_t kLabelMarker[] = L"[LABEL]";

struct LabelAndBody {
    std::wstring label;
    std::wstring body; // line feeds only, no trailing line feeds
};

// The edit box's text for an entry: "[LABEL]" + label on a first line when there is a label
// (or when the text itself starts with "[LABEL]"), then the text, with CR LF line ends and no line ends at the very
// end. A lone carriage return is dropped, as the edit box would show nothing for it.
std::wstring ComposeEditText(std::wstring_view label, std::wstring_view text);

// Reads the edit box's text back: a first line starting with "[LABEL]" gives the label (blanks
// trimmed) and is not part of the body; leading empty lines and trailing line ends go.
LabelAndBody SplitLabelAndBody(std::wstring_view editText);
