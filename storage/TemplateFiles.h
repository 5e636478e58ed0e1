// templates.txt, templates2.txt, templates3.txt: a tab's entries in the item text format,
// a memo pad's text as it is, plain or sealed.
#pragma once

#include "core/Types.h"
#include "storage/DataFile.h"

#include <string>
#include <vector>

namespace AppLogic {

// Writes the named data file (one of the template files or history.ini, no entry limit),
// sealed with password when it is non-empty. A memo pad's single entry is stored as its
// bare text; so is a list tab's single entry when that text reads back as the same entry.
// True when the new file is in place; otherwise the previous file stays.
bool SaveTemplatesFromVector(const std::wstring& fileName, const std::vector<HistoryItem>& items, bool encrypt,
                             const std::wstring& password, TabType type);

} // namespace AppLogic

// Reads a tab's file. A sealed file loads as an empty, encrypted tab (no decryption here);
// a memo pad reads the whole text as its one entry. password is always cleared. With
// `read`, tells how reading went and what the file looked like.
std::vector<HistoryItem> LoadTemplates(const std::wstring& fileName, bool& encrypted, bool& tempUnlocked,
                                       std::wstring& password, TabType type, DataFileText* read = nullptr);
