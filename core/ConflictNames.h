// The names sync services give the copy they leave beside a file that two PCs changed at once.
#pragma once

#include <string>
#include <string_view>

// The data file (settings.ini, history.ini, templates.txt, templates2.txt, templates3.txt)
// that `fileName` is a conflict copy of, or empty. Case is ignored, as Windows ignores it.
//   Syncthing           history.sync-conflict-20261209-101010-ABCDEF7.ini
//   Dropbox             history (PC's conflicted copy 2026-12-09).ini
//                       history (PC の競合コピー 2026-12-09).ini
//                       with a counter " (1)" after the date or after the parentheses
//   Nextcloud/ownCloud  history (conflicted copy 2026-12-09 101010).ini
// OneDrive's history-PC.ini is not one: a user may well name a file so.
std::wstring ConflictCopyOf(std::wstring_view fileName);

// True for the name of one of those data files, in any letter case.
bool IsDataFileName(std::wstring_view fileName);
