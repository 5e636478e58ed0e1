#include "storage/DataFile.h"

#include "crypto/Envelope.h"
#include "storage/TextFile.h"

#include <algorithm>

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

void ReplaceFile(const std::wstring& fileName, std::string_view head, std::string_view bytes) {
    SafeWriteFile(DataFilePath(fileName), [&](std::ostream& out) {
        out.write(head.data(), static_cast<std::streamsize>(head.size()));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return true;
    });
}

} // namespace

void WritePlainDataFile(const std::wstring& fileName, std::string_view utf8Body) {
    ReplaceFile(fileName, kUtf8Bom, utf8Body);
}

void WriteSealedDataFile(const std::wstring& fileName, const std::wstring& body, const std::wstring& password) {
    const std::wstring envelope = EncryptText(body, password);
    if (envelope.empty())
        return; // keep the previous file rather than lose the seal
    ReplaceFile(fileName, "", ToUtf8(envelope));
}

void WriteTextFile(const std::wstring& fileName, const std::wstring& text, const std::wstring& password) {
    if (password.empty())
        WritePlainDataFile(fileName, ToUtf8(text));
    else
        WriteSealedDataFile(fileName, text, password);
}

void WriteItemsFile(const std::wstring& fileName, const ItemRefs& items, const std::wstring& password) {
    if (password.empty()) {
        // The history is rewritten on every capture. Fresh memory for its bytes costs a page
        // fault per page each time (dearly so under Wine); a buffer kept warm does not.
        thread_local Utf8Buffer body;
        ItemsToUtf8(items, body);
        WritePlainDataFile(fileName, body.View());
    } else
        WriteSealedDataFile(fileName, ItemsToText(items), password);
}

DataFileText ReadDataFile(const std::wstring& fileName) {
    DataFileText result;
    TextFileContent file = ReadTextFile(DataFilePath(fileName), true);
    if (!file.opened || file.text.empty())
        return result;
    result.present = true;
    result.sealed = IsEnvelope(file.text);
    result.text = std::move(file.text);
    return result;
}
