#include "storage/DataFile.h"

#include "crypto/Envelope.h"
#include "storage/Settings.h"
#include "storage/TextFile.h"

#include <windows.h>

#include <algorithm>
#include <climits>
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

namespace {

// The history is rewritten on every capture, which changes one entry: each file keeps its
// entries' bytes from its last write (in buffers kept warm: fresh memory costs a page fault per
// page each time, dearly so under Wine).
std::map<std::wstring, ReusingItemWriter>& Writers() {
    thread_local std::map<std::wstring, ReusingItemWriter> writers;
    return writers;
}

} // namespace

bool WriteItemsFile(const std::wstring& fileName, const ItemRefs& items, const std::wstring& password) {
    if (!password.empty())
        return WriteSealedDataFile(fileName, ItemsToText(items), password);
    return WritePlainDataFile(fileName, Writers()[fileName].Write(items));
}

bool LastPlainItemsWritten(const std::wstring& fileName, std::vector<HistoryItem>& items) {
    const auto found = Writers().find(fileName);
    if (found == Writers().end())
        return false;
    std::string bytes;
    for (std::string_view piece : found->second.LastPieces())
        bytes.append(piece.data(), piece.size());
    items = TextToItems(DecodeDataBytes(std::string(kUtf8Bom) + bytes, true));
    return true;
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

namespace {

bool IsStrictUtf8(std::string_view bytes) {
    if (bytes.empty())
        return true;
    if (bytes.size() > static_cast<size_t>(INT_MAX))
        return false;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                               0) > 0;
}

bool HasWholeTabLines(std::string_view text) {
    // The writer ends its [Tabs] section with the last tab's type and a blank line.
    const std::string last = "\r\nTabType" + std::to_string(kTabCount - 1) + "=";
    const size_t at = text.find(last);
    return text.find("[Tabs]\r\n") != std::string_view::npos && at != std::string_view::npos &&
           text.find("\r\n", at + last.size()) != std::string_view::npos;
}

// Moves `from` to the first free name of `<target>.recovered`, `.recovered2`, ... (never over an
// older one); the name taken, or empty when none could be.
std::wstring MoveToRecovered(const std::wstring& from, const std::wstring& target) {
    return MoveToFreeName(from, 9, [&](int n) {
        return target + L".recovered" + (n > 1 ? std::to_wstring(n) : std::wstring());
    });
}

} // namespace

bool IsWholeDataFile(DataFileKind kind, std::string_view bytes) {
    const std::string_view bom(kUtf8Bom, sizeof(kUtf8Bom) - 1);
    if (bytes.substr(0, bom.size()) != bom)
        return kind == DataFileKind::Entries && IsStrictUtf8(bytes) && IsWholeEnvelope(FromUtf8(bytes));
    const std::string_view text = bytes.substr(bom.size());
    return IsStrictUtf8(text) && (kind == DataFileKind::Entries || HasWholeTabLines(text));
}

LeftoverFate FateOfLeftover(DataFileKind kind, bool targetExists, std::string_view bytes) {
    if (targetExists || bytes.empty())
        return LeftoverFate::Remove;
    return IsWholeDataFile(kind, bytes) ? LeftoverFate::PutInPlace : LeftoverFate::KeepAsRecovered;
}

std::vector<std::wstring> SettleLeftoverWrites() {
    std::vector<std::wstring> recovered;
    for (const wchar_t* name : kDataFileNames) {
        const DataFileKind kind =
            std::wstring_view(name) == kSettingsFileName ? DataFileKind::Settings : DataFileKind::Entries;
        const std::wstring target = DataFilePath(name);
        const std::wstring leftover = SafeWriteTemporaryPath(target);
        std::string bytes;
        if (ReadFileBytes(leftover, bytes) != FileRead::Read)
            continue; // none there is the usual case; one that cannot be read is left as it is
        switch (FateOfLeftover(kind, ReadFileStamp(target).exists, bytes)) {
        case LeftoverFate::Remove:
            DeleteFileW(leftover.c_str());
            break;
        case LeftoverFate::PutInPlace:
            // Not over a file: one that appeared meanwhile is newer.
            MoveFileExW(leftover.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
            break;
        case LeftoverFate::KeepAsRecovered: {
            const std::wstring kept = MoveToRecovered(leftover, target);
            if (!kept.empty())
                recovered.push_back(std::wstring(kept.substr(kept.find_last_of(L'\\') + 1)));
            break;
        }
        }
    }
    return recovered;
}
