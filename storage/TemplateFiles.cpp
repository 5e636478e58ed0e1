#include "storage/TemplateFiles.h"

#include "storage/DataFile.h"
#include "storage/ItemFormat.h"

namespace AppLogic {

bool SaveTemplatesFromVector(const std::wstring& fileName, const std::vector<HistoryItem>& items, bool /*encrypt*/,
                             const std::wstring& password, TabType type) {
    // Sealed exactly when a password is given; the flag says nothing more.
    const ItemRefs kept = StoredItems(items, items.size(), !password.empty());
    const bool single = kept.size() == 1 && kept[0]->label.empty() && fileName != L"history.ini";
    // A memo pad's text is stored raw. A list tab's single entry is stored raw too, unless
    // the raw text would read back as other entries or lose its flags.
    if (single && type == TabType::MemoPad) {
        // Inside an envelope the text cannot be mistaken for one; a plain file must not begin like one.
        return WriteTextFile(fileName, password.empty() ? EscapeBareText(kept[0]->text) : kept[0]->text, password);
    }
    if (single && StoresAsBareText(*kept[0]))
        return WriteTextFile(fileName, BareEntryText(kept[0]->text), password);
    return WriteItemsFile(fileName, kept, password);
}

} // namespace AppLogic

std::vector<HistoryItem> LoadTemplates(const std::wstring& fileName, bool& encrypted, bool& tempUnlocked,
                                       std::wstring& password, TabType type, DataFileText* read) {
    DataFileText file = ReadDataFile(fileName);
    encrypted = file.sealed;
    tempUnlocked = false;
    password.clear();
    std::vector<HistoryItem> items;
    if (file.present && !file.sealed) {
        if (type == TabType::MemoPad) {
            HistoryItem memo;
            memo.text = UnescapeBareText(std::move(file.text));
            items.push_back(std::move(memo));
        } else {
            items = TextToItems(file.text);
        }
    }
    if (read) {
        file.text.clear();
        *read = std::move(file);
    }
    return items;
}
