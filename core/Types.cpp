#include "core/Types.h"

#include <algorithm>
#include <atomic>

EntryId NewEntryId() {
    static std::atomic<EntryId> next{0};
    return ++next;
}

bool AnyTabOpenForRun(const TabSlots& tabs) {
    return std::any_of(tabs.begin(), tabs.end(), [](const TabSlot& slot) { return slot.tempUnlocked; });
}

int FindEntry(const std::vector<HistoryItem>& items, EntryId id) {
    if (id == kNoEntry)
        return -1;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].id == id)
            return static_cast<int>(i);
    return -1;
}

TabSlots MakeDefaultTabs() {
    static const wchar_t* const names[kTabCount] = {L"履歴", L"定型文 1", L"定型文 2", L"定型文 3"};
    TabSlots tabs;
    for (int i = 0; i < kTabCount; ++i) {
        tabs[i].name = names[i];
        tabs[i].fileName = kDataFileNames[i + 1];
    }
    return tabs;
}

int TabInView(const ViewState& view) {
    const int t = view.historyShown ? kHistoryTab : view.currentTab;
    return t >= 0 && t < kTabCount ? t : kHistoryTab;
}

std::vector<HistoryItem>& ItemsInView(TabSlots& tabs, const ViewState& view) {
    return tabs[TabInView(view)].items;
}
