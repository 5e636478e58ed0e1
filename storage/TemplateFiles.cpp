#include "storage/TemplateFiles.h"

#include "storage/DataFile.h"
#include "storage/ItemFormat.h"

namespace AppLogic {

void SaveTemplatesFromVector(const std::wstring& fileName, const std::vector<HistoryItem>& items, bool /*encrypt*/,
                             const std::wstring& password, TabType type) {
    // Sealed exactly when a password is given; the flag says nothing more.
    const ItemRefs kept = StoredItems(items, items.size(), !password.empty());
    const bool single = kept.size() == 1 && kept[0]->label.empty() && fileName != L"history.ini";
    // A memo pad's text is stored raw. A list tab's single entry is stored raw too, unless
    // the raw text would read back as other entries or lose its flags.
    if (single && (type == TabType::MemoPad || StoresAsBareText(*kept[0]))) {
        WriteTextFile(fileName, kept[0]->text, password);
        return;
    }
    WriteItemsFile(fileName, kept, password);
}

} // namespace AppLogic

std::vector<HistoryItem> LoadTemplates(const std::wstring& fileName, bool& encrypted, bool& tempUnlocked,
                                       std::wstring& password, TabType type) {
    DataFileText file = ReadDataFile(fileName);
    encrypted = file.sealed;
    tempUnlocked = false;
    password.clear();
    if (!file.present || file.sealed)
        return {};
    if (type == TabType::MemoPad) {
        HistoryItem memo;
        memo.text = std::move(file.text);
        return {std::move(memo)};
    }
    return TextToItems(file.text);
}
