// The item edit dialog: one entry's text and its optional label, the label written on a first
// line that starts with "[LABEL]". It writes the entry in place on OK and does nothing else:
// its callers save and refresh.
#pragma once

#include "core/Types.h"

#include <windows.h>

#include <vector>

struct ItemEditRequest {
    int row = -1;
    bool history = false;                      // true: entry `row` of the history
    std::vector<HistoryItem>* items = nullptr; // otherwise entry `row` of these
};

// Runs the modal dialog owned by `owner`; IDOK once the entry was written, else IDCANCEL.
INT_PTR OpenItemEditDialog(HWND owner, ItemEditRequest& request);
