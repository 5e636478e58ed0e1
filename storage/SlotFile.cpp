#include "storage/SlotFile.h"

#include "core/Capture.h"
#include "core/Merge.h"
#include "crypto/Envelope.h"
#include "storage/DataFile.h"
#include "storage/HistoryFile.h"
#include "storage/ItemFormat.h"
#include "storage/TemplateFiles.h"
#include "storage/TextFile.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <unordered_map>
#include <vector>

namespace {

uint64_t Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// The slot's base, read back from the history's writer when it is kept there.
std::vector<HistoryItem>& Base(TabSlot& slot) {
    if (slot.baseIsLastWrite) {
        slot.base.clear();
        LastPlainItemsWritten(slot.fileName, slot.base);
        slot.baseIsLastWrite = false;
    }
    return slot.base;
}

// The base becomes the first `count` entries of `items`. After a capture only the new entry
// differs from the base, so every entry it already holds unchanged (known by its id) is moved
// over rather than copied: a long history is not copied on every save. The entries keep their
// order but for a few, so each is looked for just after the last one found first.
void KeepAsBase(TabSlot& slot, size_t count) {
    count = std::min(count, slot.items.size());
    std::vector<HistoryItem>& base = Base(slot);
    std::vector<HistoryItem> next;
    next.reserve(count);
    std::unordered_map<EntryId, size_t> index; // made only when the order was left
    size_t cursor = 0;
    EntryId newest = kNoEntry;
    for (const HistoryItem& entry : base)
        newest = std::max(newest, entry.id);
    const auto find = [&](EntryId id) -> HistoryItem* {
        if (cursor < base.size() && base[cursor].id == id)
            return &base[cursor++];
        if (id > newest)
            return nullptr; // ids only grow: an entry made since the base was kept
        if (index.empty())
            for (size_t i = 0; i < base.size(); ++i)
                index.emplace(base[i].id, i);
        const auto found = index.find(id);
        if (found == index.end())
            return nullptr;
        cursor = found->second + 1;
        return &base[found->second];
    };
    for (size_t i = 0; i < count; ++i) {
        const HistoryItem& item = slot.items[i];
        HistoryItem* kept = find(item.id);
        if (kept && *kept == item)
            next.push_back(std::move(*kept));
        else
            next.push_back(item);
    }
    WipeItems(base); // what is left: entries gone since, which may be a sealed tab's
    base = std::move(next);
}

std::wstring MemoTextOf(const std::vector<HistoryItem>& items) {
    return items.empty() ? std::wstring() : items.front().text;
}

// A memo pad's entry: none for an empty text; `ours` gives its id (the pad being typed in).
std::vector<HistoryItem> MemoItems(std::wstring text, const std::vector<HistoryItem>& ours = {}) {
    std::vector<HistoryItem> items;
    if (!text.empty()) {
        HistoryItem memo;
        memo.text = std::move(text);
        if (!ours.empty())
            memo.id = ours.front().id;
        items.push_back(std::move(memo));
    }
    return items;
}

// What a plain file of the slot's kind holds.
std::vector<HistoryItem> PlainItems(std::wstring text, TabType type) {
    return type == TabType::MemoPad ? MemoItems(UnescapeBareText(std::move(text))) : TextToItems(text);
}

std::vector<HistoryItem> MergeSlot(TabSlot& slot, const std::vector<HistoryItem>& theirs, bool theirsChangedLast,
                                   int maxHistory) {
    const std::vector<HistoryItem>& base = Base(slot);
    if (IsHistorySlot(slot))
        return MergeHistory(base, slot.items, theirs, theirsChangedLast, maxHistory);
    if (slot.type == TabType::MemoPad)
        return MemoItems(MergeMemoText(MemoTextOf(base), MemoTextOf(slot.items), MemoTextOf(theirs)), slot.items);
    return MergeEntryLists(base, slot.items, theirs);
}

// Every entry of either side: a conflict copy has no base.
std::vector<HistoryItem> MergeSlotTwoWay(const TabSlot& slot, std::vector<HistoryItem> copy, int maxHistory) {
    if (IsHistorySlot(slot))
        return MergeHistoryTwoWay(slot.items, std::move(copy), maxHistory);
    if (slot.type == TabType::MemoPad)
        return MemoItems(MergeMemoTextTwoWay(MemoTextOf(slot.items), MemoTextOf(copy)), slot.items);
    return MergeEntryListsTwoWay(slot.items, copy);
}

// backup\<name> <date> <time>.<ext>, a file of its own for what could not go into its file.
std::wstring AsideName(const std::wstring& fileName) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L" %04u-%02u-%02u %02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
    const size_t dot = fileName.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos ? std::wstring() : fileName.substr(dot);
    return L"backup\\" + stem + stamp + extension;
}

// The file was sealed elsewhere with a password this run does not hold (or the tab plain here was
// sealed there): it is left as it is. What was unsaved here goes, sealed with this run's password
// when it has one, into a file of its own under backup\, and the tab is sealed here too.
TakeIn SealedElsewhere(TabSlot& slot, const FileStamp& stamp, bool unsaved) {
    TakeIn result;
    result.outcome = TakeIn::Relocked;
    if (unsaved && !slot.items.empty()) {
        const std::wstring folder = DataFilePath(L"backup");
        CreateDirectoryW(folder.c_str(), nullptr); // there already is no failure; the write below tells
        const std::wstring aside = AsideName(slot.fileName);
        if (AppLogic::SaveTemplatesFromVector(aside, slot.items, !slot.password.empty(), slot.password, slot.type))
            result.keptAside = aside;
    }
    SealSlotInMemory(slot);
    slot.dirty = false;
    slot.diskStamp = stamp;
    return result;
}

} // namespace

bool IsHistorySlot(const TabSlot& slot) {
    return slot.fileName == kHistoryFileName;
}

void LoadSlot(TabSlot& slot, int maxHistory) {
    if (IsHistorySlot(slot)) {
        slot.items = LoadHistory(slot, maxHistory);
    } else {
        DataFileText read;
        slot.items = LoadTemplates(slot.fileName, slot.encrypted, slot.tempUnlocked, slot.password, slot.type, &read);
        slot.unreadable = read.status == FileRead::Unreadable;
        slot.diskStamp = read.stamp;
    }
    WipeItems(slot.base);
    slot.base = slot.items;
    slot.baseIsLastWrite = false;
    slot.dirty = false;
    slot.changedAt = 0;
}

SlotSave SaveSlotFile(TabSlot& slot, int maxHistory, const SlotSaveOptions& options) {
    if (slot.encrypted || slot.unreadable)
        return SlotSave::Refused;
    if (slot.tempUnlocked && slot.password.empty() && !options.sealWith)
        return SlotSave::Refused; // a tab open for the run never reaches its file in plain text
    if (!slot.dirty)
        slot.changedAt = Now();

    const std::wstring path = DataFilePath(slot.fileName);
    bool merged = false;
    if (!options.fileJustRead) {
        // A file that is gone holds nothing to lose; one that changed holds someone's work.
        const FileStamp now = ReadFileStamp(path);
        if (now.exists && now != slot.diskStamp) {
            const TakeIn in = TakeInSlotFile(slot, maxHistory, true);
            if (options.takenIn)
                *options.takenIn = in;
            switch (in.outcome) {
            case TakeIn::NotNow:
                slot.dirty = true;
                return SlotSave::Failed;
            case TakeIn::Relocked:
                return SlotSave::Refused;
            case TakeIn::TakenIn:
                merged = true;
                if (!in.needsWrite)
                    return SlotSave::Merged; // the file holds the merge already
                break;
            case TakeIn::Unchanged:
                break;
            }
        }
    }
    const std::wstring& password = options.sealWith ? *options.sealWith : slot.password;
    const bool sealed = !password.empty();
    const bool history = IsHistorySlot(slot) && !options.sealWith;
    const bool written = history ? AppLogic::SaveHistory(slot.items, maxHistory, sealed, password)
                                 : AppLogic::SaveTemplatesFromVector(slot.fileName, slot.items, sealed, password, slot.type);
    if (!written) {
        if (slot.baseIsLastWrite) {
            // The writer holds what it tried to write now: the file as it stands is the base.
            std::string bytes;
            slot.base = ReadFileBytes(path, bytes) == FileRead::Read ? TextToItems(DecodeDataBytes(bytes, true))
                                                                       : std::vector<HistoryItem>();
            slot.baseIsLastWrite = false;
        }
        slot.dirty = true;
        return SlotSave::Failed;
    }
    slot.diskStamp = ReadFileStamp(path);
    if (history && !sealed) {
        WipeItems(slot.base);
        slot.baseIsLastWrite = true; // its writer keeps what it wrote
    } else {
        KeepAsBase(slot, history ? KeptHistoryCount(slot.items.size(), maxHistory) : slot.items.size());
    }
    slot.dirty = false;
    return merged ? SlotSave::Merged : SlotSave::Saved;
}

TakeIn TakeInSlotFile(TabSlot& slot, int maxHistory, bool oursChangedNow) {
    TakeIn result;
    const std::wstring path = DataFilePath(slot.fileName);
    if (slot.unreadable) {
        // Unreadable at start-up: read now that it can be, as at a start.
        std::string probe;
        if (ReadFileBytes(path, probe) != FileRead::Read)
            return result;
        LoadSlot(slot, maxHistory);
        result.outcome = TakeIn::TakenIn;
        return result;
    }
    if (!oursChangedNow) {
        const FileStamp now = ReadFileStamp(path);
        if (now.exists && now == slot.diskStamp)
            return result; // as last read or written: our own write, most often
    }
    std::string bytes;
    FileStamp stamp;
    switch (ReadFileBytes(path, bytes, &stamp)) {
    case FileRead::Missing:
        // Deleted elsewhere: nothing is taken from that; the entries stay and the next save writes them.
        slot.diskStamp = FileStamp{};
        return result;
    case FileRead::Unreadable:
        result.outcome = TakeIn::NotNow; // most often a writer that still holds it
        return result;
    case FileRead::Read:
        break;
    }
    std::wstring text = DecodeDataBytes(bytes, true);
    const bool unsaved = slot.dirty || oursChangedNow;
    if (slot.encrypted) {
        // Sealed here, nothing in memory: read again only when it was opened for good elsewhere.
        if (IsEnvelope(text)) {
            slot.diskStamp = stamp;
            return result;
        }
        LoadSlot(slot, maxHistory);
        result.outcome = TakeIn::TakenIn;
        return result;
    }
    std::vector<HistoryItem> theirs;
    if (IsEnvelope(text)) {
        std::wstring opened;
        if (!slot.tempUnlocked || !OpenEnvelope(text, slot.password, opened))
            return SealedElsewhere(slot, stamp, unsaved);
        theirs = ItemsFromOpenedText(opened, slot.type);
        WipeString(opened);
    } else {
        if (slot.tempUnlocked) {
            // Opened for good elsewhere: the tab follows its file and is no longer sealed here.
            slot.tempUnlocked = false;
            WipeString(slot.password);
        }
        theirs = PlainItems(std::move(text), slot.type);
    }
    slot.diskStamp = stamp;
    if (theirs == Base(slot))
        return result; // our own write, or the same entries written anew
    result.outcome = TakeIn::TakenIn;
    if (!unsaved) {
        AdoptIds(slot.items, theirs);
        if (IsHistorySlot(slot))
            CutHistory(theirs, maxHistory);
        WipeItems(slot.items);
        WipeItems(slot.base);
        slot.base = theirs;
        slot.items = std::move(theirs);
        return result;
    }
    const bool theirsChangedLast = !oursChangedNow && stamp.writeTime > slot.changedAt;
    std::vector<HistoryItem> merged = MergeSlot(slot, theirs, theirsChangedLast, maxHistory);
    result.needsWrite = merged != theirs;
    WipeItems(slot.items);
    WipeItems(slot.base);
    slot.items = std::move(merged);
    slot.base = std::move(theirs);
    slot.dirty = result.needsWrite;
    return result;
}

Absorb AbsorbConflictCopy(TabSlot& slot, const std::wstring& copyName, int maxHistory, bool& changed) {
    changed = false;
    if (ContentUnavailable(slot))
        return Absorb::Left;
    std::string bytes;
    switch (ReadFileBytes(DataFilePath(copyName), bytes)) {
    case FileRead::Read:
        break;
    case FileRead::Missing:
        return Absorb::Left; // taken away meanwhile (by the other PC, say)
    case FileRead::Unreadable:
        return Absorb::NotNow;
    }
    std::wstring text = DecodeDataBytes(bytes, true);
    std::vector<HistoryItem> copy;
    if (IsEnvelope(text)) {
        std::wstring opened;
        if (!slot.tempUnlocked || !OpenEnvelope(text, slot.password, opened))
            return Absorb::Left; // nothing here can open it
        copy = ItemsFromOpenedText(opened, slot.type);
        WipeString(opened);
    } else {
        copy = PlainItems(std::move(text), slot.type);
    }
    std::vector<HistoryItem> merged = MergeSlotTwoWay(slot, std::move(copy), maxHistory);
    changed = merged != slot.items;
    if (changed) {
        WipeItems(slot.items);
        slot.items = std::move(merged);
        NoteUnsavedChange(slot);
    }
    return Absorb::Done;
}

void NoteUnsavedChange(TabSlot& slot) {
    if (!slot.dirty)
        slot.changedAt = Now();
    slot.dirty = true;
}

// ---- sealing and opening -----------------------------------------------------------------------

bool SealTabFile(const TabSlot& slot, const std::wstring& password) {
    // The history too goes through the template writer: no entry limit while sealing.
    return AppLogic::SaveTemplatesFromVector(slot.fileName, slot.items, true, password, slot.type);
}

OpenResult OpenTabFile(const TabSlot& slot, const std::wstring& password, std::vector<HistoryItem>& items,
                       FileStamp* stamp) {
    std::string bytes;
    if (ReadFileBytes(DataFilePath(slot.fileName), bytes, stamp) != FileRead::Read)
        return OpenResult::FileUnreadable;
    std::wstring text;
    if (!OpenEnvelope(SealedFileText(bytes), password, text))
        return OpenResult::WrongPassword;
    items = ItemsFromOpenedText(text, slot.type);
    WipeString(text);
    return OpenResult::Opened;
}

std::wstring SealedFileText(std::string_view bytes) {
    return DecodeDataBytes(bytes, true);
}

std::vector<HistoryItem> ItemsFromOpenedText(const std::wstring& text, TabType type) {
    std::vector<HistoryItem> items;
    if (type == TabType::MemoPad) {
        HistoryItem memo;
        memo.text = text;
        items.push_back(memo);
    } else {
        items = TextToItems(text);
    }
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const HistoryItem& item) { return item.text == kEmptyEncryptedTab; }),
                items.end());
    return items;
}

void WipeString(std::wstring& secret) {
    if (!secret.empty())
        SecureZeroMemory(&secret[0], secret.size() * sizeof(wchar_t));
    secret.clear();
}

void WipeItems(std::vector<HistoryItem>& items) {
    for (HistoryItem& item : items) {
        WipeString(item.text);
        WipeString(item.label);
    }
    items.clear();
}

void WipeEntries(TabSlot& slot) {
    WipeItems(slot.items);
    WipeItems(slot.base);
    slot.baseIsLastWrite = false;
}

void SealSlotInMemory(TabSlot& slot) {
    WipeEntries(slot);
    WipeString(slot.password);
    slot.encrypted = true;
    slot.tempUnlocked = false;
}

void AdoptIds(const std::vector<HistoryItem>& ours, std::vector<HistoryItem>& theirs) {
    std::unordered_map<std::wstring_view, std::vector<EntryId>> ids;
    for (auto it = ours.rbegin(); it != ours.rend(); ++it)
        ids[it->text].push_back(it->id); // the first of a text last: taken first
    for (HistoryItem& item : theirs) {
        const auto found = ids.find(item.text);
        if (found == ids.end() || found->second.empty())
            continue;
        item.id = found->second.back();
        found->second.pop_back();
    }
}
