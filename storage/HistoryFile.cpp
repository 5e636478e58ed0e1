#include "storage/HistoryFile.h"

#include "core/Capture.h"
#include "crypto/Envelope.h"
#include "storage/DataFile.h"
#include "storage/ItemFormat.h"

namespace AppLogic {

bool SaveHistory(const std::vector<HistoryItem>& items, int limit, bool /*encrypt*/, const std::wstring& password) {
    // Sealed exactly when a password is given; the flag says nothing more.
    return WriteItemsFile(kHistoryFileName,
                          StoredItems(items, KeptHistoryCount(items.size(), limit), !password.empty()), password);
}

} // namespace AppLogic

std::vector<HistoryItem> LoadHistory(TabSlot& historySlot, int maxHistory) {
    const DataFileText file = ReadDataFile(kHistoryFileName);
    historySlot.unreadable = file.status == FileRead::Unreadable;
    historySlot.diskStamp = file.stamp;
    std::vector<HistoryItem> items;
    if (file.sealed) {
        historySlot.encrypted = true;
        historySlot.tempUnlocked = false;
        if (!historySlot.password.empty()) {
            const std::wstring text = DecryptText(file.text, historySlot.password);
            if (!text.empty()) {
                items = TextToItems(text);
                CutHistory(items, maxHistory);
            }
        }
        return items;
    }
    historySlot.encrypted = false;
    historySlot.tempUnlocked = false;
    historySlot.password.clear();
    if (file.present) {
        items = TextToItems(file.text);
        CutHistory(items, maxHistory);
    }
    return items;
}
