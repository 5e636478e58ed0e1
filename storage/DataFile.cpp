#include "storage/DataFile.h"

#include "crypto/Envelope.h"
#include "storage/TextFile.h"

#include <algorithm>

std::vector<HistoryItem> WithPlaceholderRule(std::vector<HistoryItem> items, bool sealed) {
    if (sealed && items.empty()) {
        HistoryItem placeholder;
        placeholder.text = kEmptyEncryptedTab;
        items.push_back(std::move(placeholder));
    } else if (!(sealed && items.size() == 1)) {
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [](const HistoryItem& item) { return item.text == kEmptyEncryptedTab; }),
                    items.end());
    }
    return items;
}

void WriteDataFile(const std::wstring& fileName, const std::wstring& body, const std::wstring& password) {
    const bool sealed = !password.empty();
    std::string bytes;
    if (sealed) {
        const std::wstring envelope = EncryptText(body, password);
        if (envelope.empty())
            return; // keep the previous file rather than lose the seal
        bytes = ToUtf8(envelope);
    } else {
        bytes = kUtf8Bom;
        bytes += ToUtf8(body);
    }
    SafeWriteFile(DataFilePath(fileName), [&](std::ofstream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return true;
    });
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
