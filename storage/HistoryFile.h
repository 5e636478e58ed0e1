// history.ini: the history tab's entries in the item text format, plain or sealed.
#pragma once

#include "core/Types.h"

#include <string>
#include <vector>

namespace AppLogic {

// Writes history.ini from the first `limit` entries (no cut when limit <= 0), sealed with
// password when it is non-empty. True when the new file is in place; otherwise the
// previous file stays.
bool SaveHistory(const std::vector<HistoryItem>& items, int limit, bool encrypt, const std::wstring& password);

} // namespace AppLogic

inline constexpr wchar_t kHistoryFileName[] = L"history.ini";

// Reads history.ini and sets historySlot's encrypted, tempUnlocked and password from it, and
// its unreadable flag and disk stamp. A sealed file opens only with the password the slot
// already holds; otherwise the history is empty and stays sealed. A file that is there but
// cannot be read gives an empty history that must not be written. The result is cut to
// maxHistory entries (when >= 1).
std::vector<HistoryItem> LoadHistory(TabSlot& historySlot, int maxHistory);
