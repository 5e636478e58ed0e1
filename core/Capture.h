// The rules by which a clipboard text becomes history, and the promotion of an entry.
#pragma once

#include "core/Types.h"

#include <string_view>

// Offers one non-empty clipboard text to the history (state.tabs[0].items). Slots 1..3
// serve only the duplicate check. Applies RemoveDuplicateHistory, MoveToTopOnCopy and
// MaxHistory from the live options in state.
void CaptureClipboardText(AppState& state, std::wstring_view text);

// Marks history[index] used and, when moveToTop is set, moves it to the top of its group
// (locked entries to 0, unlocked ones just below the locked group). Returns the entry's
// index afterwards; an index out of range is returned unchanged and nothing happens.
int PromoteEntry(std::vector<HistoryItem>& history, int index, bool moveToTop);

// How many of `count` history entries saving and loading keep: the first maxHistory, locked
// ones counting like any other (unlike a capture, which keeps every locked entry); all of
// them when maxHistory is 0 or less.
size_t KeptHistoryCount(size_t count, int maxHistory);

// Cuts the history to KeptHistoryCount entries; true when anything was cut.
bool CutHistory(std::vector<HistoryItem>& items, int maxHistory);
