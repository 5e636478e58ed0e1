#include "core/Capture.h"

#include <algorithm>

namespace {

bool HasText(const std::vector<HistoryItem>& items, std::wstring_view text) {
    // std::wstring == compares sizes first, so unequal lengths cost nothing.
    return std::any_of(items.begin(), items.end(), [&](const HistoryItem& item) { return item.text == text; });
}

} // namespace

void CaptureClipboardText(AppState& state, std::wstring_view text) {
    std::vector<HistoryItem>& history = state.tabs[kHistoryTab].items;
    if (!history.empty() && history.front().text == text)
        return;

    if (state.RemoveDuplicateHistory) {
        for (int slot = 1; slot < kTabCount; ++slot) {
            if (HasText(state.tabs[slot].items, text))
                return;
        }
        for (size_t i = 0; i < history.size(); ++i) {
            if (history[i].text == text) {
                PromoteEntry(history, static_cast<int>(i), state.MoveToTopOnCopy);
                return;
            }
        }
    }

    // Locked group first, in its own order; a hand-edited file may have mixed them.
    const auto isLocked = [](const HistoryItem& item) { return item.locked; };
    if (!std::is_partitioned(history.begin(), history.end(), isLocked))
        std::stable_partition(history.begin(), history.end(), isLocked);
    const auto firstUnlocked = std::partition_point(history.begin(), history.end(), isLocked);
    const size_t lockedCount = static_cast<size_t>(firstUnlocked - history.begin());

    HistoryItem fresh;
    fresh.text.assign(text);
    history.insert(firstUnlocked, std::move(fresh));
    const size_t unlockedCount = history.size() - lockedCount;
    if (state.MaxHistory > 0 && unlockedCount > static_cast<size_t>(state.MaxHistory))
        history.resize(lockedCount + static_cast<size_t>(state.MaxHistory));
}

int PromoteEntry(std::vector<HistoryItem>& history, int index, bool moveToTop) {
    if (index < 0 || static_cast<size_t>(index) >= history.size())
        return index;
    history[index].used = true;
    if (!moveToTop)
        return index;

    HistoryItem entry = std::move(history[index]);
    history.erase(history.begin() + index);
    const int target =
        entry.locked ? 0 : static_cast<int>(std::count_if(history.begin(), history.end(), [](const HistoryItem& item) {
            return item.locked;
        }));
    history.insert(history.begin() + target, std::move(entry));
    return target;
}

size_t KeptHistoryCount(size_t count, int maxHistory) {
    return maxHistory > 0 ? std::min(count, static_cast<size_t>(maxHistory)) : count;
}

bool CutHistory(std::vector<HistoryItem>& items, int maxHistory) {
    const size_t kept = KeptHistoryCount(items.size(), maxHistory);
    if (kept == items.size())
        return false;
    items.resize(kept);
    return true;
}
