#include "core/EntryEdits.h"

#include "core/Text.h"

#include <algorithm>
#include <iterator>

namespace {

bool ValidRow(const std::vector<HistoryItem>& items, int row) {
    return row >= 0 && static_cast<size_t>(row) < items.size();
}

int LockedCount(const std::vector<HistoryItem>& items) {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](const HistoryItem& i) { return i.locked; }));
}

// Takes items[row] out; the caller has checked the row.
HistoryItem TakeOut(std::vector<HistoryItem>& items, int row) {
    HistoryItem item = std::move(items[static_cast<size_t>(row)]);
    items.erase(items.begin() + row);
    return item;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

} // namespace

int ToggleEntryLock(std::vector<HistoryItem>& history, int row) {
    if (!ValidRow(history, row))
        return row;
    HistoryItem item = TakeOut(history, row);
    const int position = item.locked ? LockedCount(history) : 0;
    item.locked = !item.locked;
    history.insert(history.begin() + position, std::move(item));
    return position;
}

bool MoveHistoryItem(std::vector<HistoryItem>& history, int from, int to) {
    if (!ValidRow(history, from) || !ValidRow(history, to) || from == to)
        return false;
    HistoryItem item = TakeOut(history, from);
    const int locked = LockedCount(history);
    if (to < locked)
        item.locked = true;
    else if (to > locked)
        item.locked = false;
    history.insert(history.begin() + to, std::move(item));
    return true;
}

bool MoveItem(std::vector<HistoryItem>& items, int from, int to) {
    if (!ValidRow(items, from) || !ValidRow(items, to) || from == to)
        return false;
    HistoryItem item = TakeOut(items, from);
    items.insert(items.begin() + to, std::move(item));
    return true;
}

int DropTarget(int sourceRow, int markRow, bool after) {
    if (markRow < 0 || sourceRow < 0)
        return -1;
    int target = markRow + (after ? 1 : 0);
    if (target > sourceRow)
        --target;
    return target == sourceRow ? -1 : target;
}

int InsertEntry(std::vector<HistoryItem>& items, bool history, HistoryItem entry) {
    const auto at =
        history ? std::partition_point(items.begin(), items.end(), [](const HistoryItem& item) { return item.locked; })
                : items.end();
    entry.locked = false;
    const auto inserted = items.insert(at, std::move(entry));
    return static_cast<int>(inserted - items.begin());
}

bool RemoveItem(std::vector<HistoryItem>& items, int row, bool keepLocked) {
    if (!ValidRow(items, row) || (keepLocked && items[static_cast<size_t>(row)].locked))
        return false;
    items.erase(items.begin() + row);
    return true;
}

std::wstring ComposeEditText(std::wstring_view label, std::wstring_view text) {
    std::wstring composed;
    // A text that itself starts with the marker gets an empty label line before it, or the
    // dialog would read its first line back as a label.
    const bool markerText = text.substr(0, std::size(kLabelMarker) - 1) == kLabelMarker;
    if (!label.empty() || markerText)
        composed.append(kLabelMarker).append(label).append(L"\r\n");
    composed.append(text);
    // The edit box shows nothing for a lone CR; it breaks lines only at CR LF.
    std::wstring shown = ToCrLf(composed, LoneCr::Drop);
    while (!shown.empty() && (shown.back() == L'\r' || shown.back() == L'\n'))
        shown.pop_back();
    return shown;
}

LabelAndBody SplitLabelAndBody(std::wstring_view editText) {
    LabelAndBody result;
    std::wstring joined; // lines joined with CR LF, as the edit box holds them
    bool first = true;
    ForEachLine(editText, LineBreaks::Lf, false, [&](std::wstring_view line) {
        const std::wstring_view marker(kLabelMarker);
        if (first && line.substr(0, marker.size()) == marker) {
            std::wstring_view label = line.substr(marker.size());
            while (!label.empty() && IsBlank(label.front()))
                label.remove_prefix(1);
            while (!label.empty() && IsBlank(label.back()))
                label.remove_suffix(1);
            result.label.assign(label);
            first = false;
            return;
        }
        first = false;
        if (!joined.empty())
            joined.append(L"\r\n");
        joined.append(line);
    });
    // Line feeds only: CR LF and a lone CR (one left inside a line) both become LF.
    result.body = ToLf(joined, LoneCr::Break);
    while (!result.body.empty() && result.body.back() == L'\n')
        result.body.pop_back();
    return result;
}
