#include "storage/DataFile.h"

#include "crypto/Envelope.h"
#include "storage/Settings.h"
#include "storage/TextFile.h"

#include <windows.h>

#include <algorithm>
#include <map>

ItemRefs StoredItems(const std::vector<HistoryItem>& items, size_t count, bool sealed) {
    static const HistoryItem placeholder{kEmptyEncryptedTab, L"", false, false};
    count = std::min(count, items.size());
    if (sealed && count == 0)
        return {&placeholder};
    ItemRefs refs;
    refs.reserve(count);
    const bool keepPlaceholder = sealed && count == 1;
    for (size_t i = 0; i < count; ++i) {
        if (keepPlaceholder || items[i].text != kEmptyEncryptedTab)
            refs.push_back(&items[i]);
    }
    return refs;
}

namespace {

bool ReplaceFile(const std::wstring& fileName, std::string_view head, std::string_view bytes) {
    return SafeWriteFile(DataFilePath(fileName), [&](std::ostream& out) {
        out.write(head.data(), static_cast<std::streamsize>(head.size()));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return true;
    });
}

} // namespace

bool WritePlainDataFile(const std::wstring& fileName, std::string_view utf8Body) {
    return ReplaceFile(fileName, kUtf8Bom, utf8Body);
}

bool WritePlainDataFile(const std::wstring& fileName, const std::vector<std::string_view>& utf8Pieces) {
    return SafeWriteFile(DataFilePath(fileName), [&](std::ostream& out) {
        out.write(kUtf8Bom, static_cast<std::streamsize>(sizeof(kUtf8Bom) - 1));
        for (std::string_view piece : utf8Pieces)
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        return true;
    });
}

bool WriteSealedDataFile(const std::wstring& fileName, const std::wstring& body, const std::wstring& password) {
    const std::wstring envelope = EncryptText(body, password);
    if (envelope.empty())
        return false; // keep the previous file rather than lose the seal
    return ReplaceFile(fileName, "", ToUtf8(envelope));
}

bool WriteTextFile(const std::wstring& fileName, const std::wstring& text, const std::wstring& password) {
    if (password.empty())
        return WritePlainDataFile(fileName, ToUtf8(text));
    return WriteSealedDataFile(fileName, text, password);
}

bool WriteItemsFile(const std::wstring& fileName, const ItemRefs& items, const std::wstring& password) {
    if (!password.empty())
        return WriteSealedDataFile(fileName, ItemsToText(items), password);
    // The history is rewritten on every capture, which changes one entry: each file keeps its
    // entries' bytes from its last write (in buffers kept warm: fresh memory costs a page fault
    // per page each time, dearly so under Wine).
    thread_local std::map<std::wstring, ReusingItemWriter> writers;
    return WritePlainDataFile(fileName, writers[fileName].Write(items));
}

DataFileText ReadDataFile(const std::wstring& fileName) {
    DataFileText result;
    TextFileContent file = ReadTextFile(DataFilePath(fileName), true);
    result.status = file.status;
    result.stamp = file.stamp;
    if (!file.opened || file.text.empty())
        return result;
    result.present = true;
    result.sealed = IsEnvelope(file.text);
    result.text = std::move(file.text);
    return result;
}

void RemoveLeftoverWrites() {
    std::vector<std::wstring> names = {kSettingsFileName};
    for (const TabSlot& slot : MakeDefaultTabs())
        names.push_back(slot.fileName);
    for (const std::wstring& name : names)
        DeleteFileW(SafeWriteTemporaryPath(DataFilePath(name)).c_str()); // none there is the usual case
}
