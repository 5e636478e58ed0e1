#include "storage/SlotFile.h"

#include "storage/HistoryFile.h"
#include "storage/TemplateFiles.h"
#include "storage/TextFile.h"

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
    slot.dirty = false;
}

SlotSave SaveSlotFile(TabSlot& slot, int maxHistory, const SlotSaveOptions& options) {
    const std::wstring& password = options.sealWith ? *options.sealWith : slot.password;
    if (slot.encrypted || slot.unreadable)
        return SlotSave::Refused;
    if (slot.tempUnlocked && password.empty())
        return SlotSave::Refused; // a tab open for the run never reaches its file in plain text

    const std::wstring path = DataFilePath(slot.fileName);
    if (!options.overwriteChanges) {
        // A file that is gone holds nothing to lose; one that changed holds someone's work.
        const FileStamp now = ReadFileStamp(path);
        if (now.exists && now != slot.diskStamp) {
            slot.dirty = true;
            return SlotSave::ChangedOnDisk;
        }
    }
    const bool sealed = !password.empty();
    const bool written =
        IsHistorySlot(slot) && !options.sealWith
            ? AppLogic::SaveHistory(slot.items, maxHistory, sealed, password)
            : AppLogic::SaveTemplatesFromVector(slot.fileName, slot.items, sealed, password, slot.type);
    if (!written) {
        slot.dirty = true;
        return SlotSave::Failed;
    }
    slot.diskStamp = ReadFileStamp(path);
    slot.dirty = false;
    return SlotSave::Saved;
}
