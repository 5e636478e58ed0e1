#include "core/Types.h"

TabSlots MakeDefaultTabs() {
    static const wchar_t* const names[kTabCount] = {L"履歴", L"定型文 1", L"定型文 2", L"定型文 3"};
    static const wchar_t* const files[kTabCount] = {L"history.ini", L"templates.txt", L"templates2.txt",
                                                    L"templates3.txt"};
    TabSlots tabs;
    for (int i = 0; i < kTabCount; ++i) {
        tabs[i].name = names[i];
        tabs[i].fileName = files[i];
    }
    return tabs;
}
