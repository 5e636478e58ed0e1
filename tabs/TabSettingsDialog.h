// The modal "タブの設定" dialog: a tab's name and kind, converting its entries when it turns
// into or out of a memo pad.
#pragma once

#include "core/Types.h"

#include <windows.h>

#include <vector>

// Runs the dialog for tab t (1..3) owned by owner; returns IDOK or IDCANCEL.
INT_PTR OpenTabSettings(int t, HWND owner);

// F8 on the current tab: the refusals for the history and sealed tabs, else the dialog.
void OpenTabSettingsForCurrentTab();

// The entries after a kind change: a memo pad's text parsed as item text, a list's entries
// joined into one memo text; between the two list kinds nothing changes.
std::vector<HistoryItem> ConvertEntries(const std::vector<HistoryItem>& items, TabType from, TabType to);
