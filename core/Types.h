// The data model shared by every part of the program: entries, tab kinds, the four tab
// slots, the settings record and the program-wide state.
#pragma once

#include "core/ProgramRules.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Names one entry for the whole run, whatever row it moves to. A dialog, a menu or a drag
// that outlives the message that started it keeps the id, never a row number: captures
// arriving meanwhile move the rows.
using EntryId = uint64_t;
inline constexpr EntryId kNoEntry = 0;

// A fresh id for each entry that comes into being, larger than every one before; never kNoEntry.
EntryId NewEntryId();

// One entry of the history or of a template, memo-list or memo-pad tab.
struct HistoryItem {
    std::wstring text;
    std::wstring label;        // shown instead of the text when non-empty
    bool used = false;         // chosen or captured again; the check mark, "[C]" in files
    bool locked = false;       // belongs to the locked group at the top of the history; "[L]" in files
    EntryId id = NewEntryId(); // copies keep it; not part of what the entry holds

    bool operator==(const HistoryItem& o) const {
        return text == o.text && label == o.label && used == o.used && locked == o.locked;
    }
    bool operator!=(const HistoryItem& o) const { return !(*this == o); }
};

// Stands for a sealed tab without entries; never shown in a list.
inline constexpr wchar_t kEmptyEncryptedTab[] = L"__EMPTY_ENCRYPTED_TAB__";

enum class TabType : int32_t { Template = 0, MemoList = 1, MemoPad = 2 };

// Stored kinds outside 0..2 behave as a template tab.
inline TabType TabTypeFromInt(int value) {
    return (value == 1 || value == 2) ? static_cast<TabType>(value) : TabType::Template;
}

inline constexpr int kTabCount = 4;
inline constexpr int kHistoryTab = 0;
// The data files of the folder: settings.ini, then each tab's file in tab order.
inline constexpr const wchar_t* kDataFileNames[kTabCount + 1] = {L"settings.ini", L"history.ini", L"templates.txt",
                                                                 L"templates2.txt", L"templates3.txt"};

// What a data file looked like on disk when the program last read or wrote it; a file
// that differs from it was changed by another program meanwhile.
struct FileStamp {
    bool exists = false;
    uint64_t size = 0;
    uint64_t writeTime = 0; // FILETIME as one number

    bool operator==(const FileStamp& o) const {
        return exists == o.exists && size == o.size && writeTime == o.writeTime;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// Run-time state of one of the four tabs.
struct TabSlot {
    std::wstring name;
    TabType type = TabType::Template;
    std::vector<HistoryItem> items;
    std::wstring fileName;     // data file in the data directory
    bool encrypted = false;    // sealed and not opened in this run: entries not in memory
    bool tempUnlocked = false; // opened for this run; every save seals again with password
    std::wstring password;     // held only while tempUnlocked
    bool unreadable = false;   // the file exists but could not be read: never written this run
    bool dirty = false;        // holds changes its file does not have yet (a save failed or waits)
    FileStamp diskStamp;       // the file as last read or written
    // The entries as the file held them when last read or written: what a change made elsewhere
    // (another PC, an editor) is told apart from and merged against. Wiped with the entries.
    std::vector<HistoryItem> base;
    // ... or, after a plain write of the history, that write: its writer keeps the file's bytes,
    // read back only when a change arrives (copying a long history at every capture would cost).
    bool baseIsLastWrite = false;
    uint64_t changedAt = 0; // when a change made here first waited for its file (FILETIME as one number)
};

using TabSlots = std::array<TabSlot, kTabCount>;

// True when any tab is open for the run: its texts are in memory but sealed on disk.
bool AnyTabOpenForRun(const TabSlots& tabs);

// The row of the entry with this id, or -1 when it is no longer there.
int FindEntry(const std::vector<HistoryItem>& items, EntryId id);

// The four slots with their default names and files.
TabSlots MakeDefaultTabs();

struct WindowRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 350;
    int32_t height = 480;

    bool operator==(const WindowRect& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

// The switches and counts that are live in AppState and stored in settings.ini.
struct AppOptions {
    bool AlwaysOnTop = false;
    bool StayVisible = false;
    bool PauseHistory = false;
    int32_t HistoryLimit = 20; // entries shown in the history list
    int32_t MaxHistory = 100;  // entries kept; 0 or less: no limit
    int32_t EnabledArea = -1;  // screen-edge click area, -1 none
    bool RemoveDuplicateHistory = false;
    bool MoveToTopOnCopy = true;
    bool AutoPaste = false;
    uint32_t HotkeyMod = 0; // RegisterHotKey modifier bits
    uint32_t HotkeyKey = 0; // virtual-key code; the hotkey exists only when both are non-zero
    // Rules by program and for secrets (written to settings.ini only when set).
    std::vector<std::wstring> IgnorePrograms; // copies made by these programs are never recorded
    bool PasteKeysGiven = false;              // PasteKeys is set: its rules replace the built-in ones
    std::vector<PasteKeyRule> PasteKeys;
    int32_t ClearSecretSeconds = kDefaultClearSecretSeconds; // 0: a chosen secret stays on the clipboard
    int32_t MaxEntryChars = 5000000;                         // a longer copy is not recorded; 0: no cap
};

// The record written to and read from settings.ini.
struct AppSettings : AppOptions {
    WindowRect Rect;
    std::array<std::wstring, kTabCount> TabNames; // empty keeps the default name
    std::wstring FontName;                        // empty: the default GUI font
    int32_t FontSize = 0;                         // points; 0: the default GUI font
    std::array<int32_t, kTabCount> TabTypes{};
};

// The data of the run: the options and the four tabs, as the files hold them. One instance,
// owned by the application and handed to what works on it; touched only by the
// user-interface thread.
struct AppState : AppOptions {
    TabSlots tabs = MakeDefaultTabs();
};

// What the tool window shows: the tab on screen, whether the list shows the history, and the
// tab whose sealing password is being entered (-1 none).
struct ViewState {
    int32_t currentTab = 0;
    bool historyShown = true;
    int32_t encryptSetupTab = -1;
};

// The tab whose entries the list shows: the history while historyShown, else the current tab.
int TabInView(const ViewState& view);

// The entries the list shows.
std::vector<HistoryItem>& ItemsInView(TabSlots& tabs, const ViewState& view);

// True when a tab's entries are not in memory and nothing may be written for it: sealed, or
// its file could not be read at start-up.
inline bool ContentUnavailable(const TabSlot& slot) {
    return slot.encrypted || slot.unreadable;
}
