// The item list: a virtual report list of the entries in view. Rows hold no text of their own;
// the list asks for each visible cell (LVN_GETDISPINFOW), so a refill costs the same for any
// number of entries. What each cell shows is decided by the plain functions below.
#pragma once

#include "core/Filter.h"
#include "core/Types.h"
#include "ui/Colours.h"
#include "ui/Windowing.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

// ---- Window side -------------------------------------------------------------------------

// Mouse state of the list's rows, one instance. The reorder drag belongs to the list
// interactions; hover highlighting pauses while a drag runs.
struct ListInteraction {
    int hoverRow = -1;             // row under the pointer, -1 when none
    bool dragActive = false;       // a row is being dragged; the list holds the mouse capture
    EntryId dragSource = kNoEntry; // the entry being dragged
    int markRow = -1;              // insertion mark of the drag: before (or after) this row
    bool markAfter = false;
    int typedNumber = 0;             // digits typed while Ctrl is held
    EntryId pendingEntry = kNoEntry; // the entry they name, chosen when Ctrl is released
};
extern ListInteraction g_listInteraction;

// Creates the list (control 1004, virtual, single selection, named "項目の一覧" for screen
// readers) in the main window and sets it up: full-row selection, double buffering, the
// content's background, `font`, the columns "再" (30) and "履歴" (300), the header's separator
// line, and its subclass procedure (hover highlight, header line, the user's keys, menu and
// drags). The rows come from FillItemList.
HWND CreateItemList(HWND parent, HFONT font);

// What the empty history list says (a static child of the list, id CTL_EMPTY_HINT).
inline constexpr wchar_t kEmptyHistoryHint[] =
    L"コピーしたテキストが、ここに新しい順に並びます。\n\n"
    L"このウィンドウは、通知領域の Nomaclip のアイコンをクリックすると表示されます。"
    L"F12 の設定でホットキーを登録すると、キーでも呼び出せます。";

// Gives the list the content's background of the colour scheme now (high contrast or not).
void ApplyListColours(HWND list);

// Shows `items` in the list: the history (at most historyLimit rows when that is 0 or more),
// or one row per entry of another tab; with a filter set, the entries that match it. `items`
// must be one of the tab slots' vectors: the list reads it whenever it paints. No row is
// selected afterwards.
void FillItemList(HWND list, const std::vector<HistoryItem>& items, bool history, int historyLimit);

// Narrows the rows to the entries whose label or text holds every word of `filter` (see
// core/Filter.h), searching every entry held, the history beyond HistoryLimit included; a
// filter without words shows the rows as FillItemList does. The folded copies of the entries
// are made at the first word and kept until the entries are shown anew. No row is selected
// afterwards.
void SetItemListFilter(HWND list, std::wstring_view filter);
// No filter any more; the folded copies' memory is given back.
void EndItemListFilter(HWND list);
// True while a filter with words narrows the rows.
bool ItemListFiltered();

// The entry shown on `row`, kNoEntry when none is.
EntryId ItemListEntryAt(int row);
// The row showing the entry, -1 when none does (filtered out, beyond HistoryLimit, gone).
int ItemListRowOf(EntryId id);

// Deletes every row and forgets the entries (the password panel or the memo pad shows instead);
// a filter set stays for the entries shown next.
void ClearItemList(HWND list);

// Answers LVN_GETDISPINFOW from the list (the main window forwards it); returns 0.
LRESULT OnItemListGetDispInfo(NMLVDISPINFOW* info);
// Answers LVN_ODFINDITEMW (typing letters in the list): the row found, or -1.
LRESULT OnItemListFindItem(NMLVFINDITEMW* find);
// Answers NM_CUSTOMDRAW from the list with the row colours; the result is the notification's.
LRESULT OnItemListCustomDraw(NMLVCUSTOMDRAW* draw);

// Selects and focuses row `row` and, with `show`, scrolls it fully into view; rows out of
// range are ignored.
void SelectListRow(HWND list, int row, bool show = true);
int ListRowCount(HWND list);
// The selected row, -1 when none.
int SelectedListRow(HWND list);

// ---- Logic -------------------------------------------------------------------------------

inline constexpr size_t kDisplayTextMaxUnits = 1000;
inline constexpr int kFirstColumnWidth = 30;

inline constexpr wchar_t kLockedMark[] = L"\U0001F512"; // padlock: entry in the locked group
inline constexpr wchar_t kUsedMark[] = L"\u2714";       // check mark: chosen or captured again

// Column 1: the label when there is one, else the text; its first line; at most 1000 units.
inline std::wstring_view ItemDisplayTextView(const HistoryItem& item) {
    std::wstring_view shown = item.label.empty() ? std::wstring_view(item.text) : std::wstring_view(item.label);
    shown = shown.substr(0, std::min(shown.find_first_of(L"\r\n"), kDisplayTextMaxUnits));
    return shown;
}

inline std::wstring ItemDisplayText(const HistoryItem& item) {
    return std::wstring(ItemDisplayTextView(item));
}

// Type-ahead: the first of the `rows`, from `start` on and, with `wrap`, round again from the
// top, whose shown text starts with `typed` (is `typed`, unless `partial`), letter case
// ignored; -1 when none does.
inline int FindRowByTypedText(const std::vector<HistoryItem>& items, const ListRows& rows, int start,
                              std::wstring_view typed, bool partial, bool wrap) {
    const int count = rows.Count();
    if (typed.empty() || typed.size() > static_cast<size_t>(INT_MAX) || count <= 0)
        return -1;
    if (start < 0 || start >= count)
        start = 0;
    const int tries = wrap ? count : count - start;
    for (int k = 0; k < tries; ++k) {
        const int row = (start + k) % count;
        const int index = rows.IndexAt(row);
        if (index < 0 || static_cast<size_t>(index) >= items.size())
            continue;
        std::wstring_view shown = ItemDisplayTextView(items[static_cast<size_t>(index)]);
        if (partial)
            shown = shown.substr(0, typed.size());
        if (shown.size() == typed.size() &&
            CompareStringOrdinal(shown.data(), static_cast<int>(shown.size()), typed.data(),
                                 static_cast<int>(typed.size()), TRUE) == CSTR_EQUAL)
            return row;
    }
    return -1;
}

// Column 0 of the history: the padlock wins over the check mark.
inline const wchar_t* HistoryStateMark(const HistoryItem& item) {
    if (item.locked)
        return kLockedMark;
    if (item.used)
        return kUsedMark;
    return L"";
}

// Column 0: the state mark on the history, the row number from 1 on the other tabs.
inline std::wstring FirstColumnText(const HistoryItem& item, int row, bool history) {
    return history ? std::wstring(HistoryStateMark(item)) : std::to_wstring(row + 1);
}

// Column 0's width at the screen's dots per inch.
inline int FirstColumnWidth(int dpi) {
    return MulDiv(kFirstColumnWidth, dpi, 96);
}

// Column 1 fills the client width less column 0 and a little slack; never negative.
inline int SecondColumnWidth(int clientWidth, int dpi) {
    return std::max(clientWidth - MulDiv(34, dpi, 96), 0);
}

// The client width once the vertical scroll bar has appeared (more rows than fit on a page) or
// gone, from the width now and whether the bar is shown now.
inline int ClientWidthWithRows(int clientWidth, bool barShown, int barWidth, int rows, int rowsPerPage) {
    const int withoutBar = barShown ? clientWidth + barWidth : clientWidth;
    return rows > rowsPerPage ? withoutBar - barWidth : withoutBar;
}
