// The item edit dialog: one entry's text and its optional label, the label written on a first
// line that starts with "[LABEL]". It writes the entry in place on OK and does nothing else:
// its callers save and refresh.
#pragma once

#include "core/Types.h"
#include "ui/Windowing.h"

#include <windows.h>

#include <vector>

// The entry to edit, named by identity: while the dialog is open, captures keep arriving and
// move the history's rows, so a row number read before it opened means nothing on OK.
struct ItemEditRequest {
    int tab = kHistoryTab;    // the tab whose entry it is
    TabSlot* slot = nullptr;  // that tab
    EntryId entry = kNoEntry; // the entry; on IDOK the one that holds the text now
    HFONT font = nullptr;     // the list font, which the dialog's text box follows
    SecretCopy copySecret;    // set for a tab open for the run: its Ctrl+C and Ctrl+X copy through it
};

// Runs the modal dialog owned by `owner`; IDOK once the entry was written, else IDCANCEL. When
// the entry was deleted or cut meanwhile, OK keeps what the user typed as a new entry of the
// tab (request.entry then names it) and changes nothing else.
INT_PTR OpenItemEditDialog(HWND owner, ItemEditRequest& request);
