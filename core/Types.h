// The data model shared by every part of the program: entries, tab kinds, the four tab
// slots, the settings record and the program-wide state.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One entry of the history or of a template, memo-list or memo-pad tab.
struct HistoryItem {
    std::wstring text;
    std::wstring label;  // shown instead of the text when non-empty
    bool used = false;   // chosen or captured again; the check mark, "[C]" in files
    bool locked = false; // belongs to the locked group at the top of the history; "[L]" in files

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

// Run-time state of one of the four tabs.
struct TabSlot {
    std::wstring name;
    TabType type = TabType::Template;
    std::vector<HistoryItem> items;
    std::wstring fileName;     // data file in the data directory
    bool encrypted = false;    // sealed and not opened in this run: entries not in memory
    bool tempUnlocked = false; // opened for this run; every save seals again with password
    std::wstring password;     // held only while tempUnlocked
};

using TabSlots = std::array<TabSlot, kTabCount>;

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
};

// The record written to and read from settings.ini.
struct AppSettings : AppOptions {
    WindowRect Rect;
    std::array<std::wstring, kTabCount> TabNames; // empty keeps the default name
    std::wstring FontName;                        // empty: the default GUI font
    int32_t FontSize = 0;                         // points; 0: the default GUI font
    std::array<int32_t, kTabCount> TabTypes{};
};

// Program-wide state, one instance, touched only by the user-interface thread.
struct AppState : AppOptions {
    TabSlots tabs = MakeDefaultTabs();
    int32_t currentTab = 0;
    bool historyShown = true;
    int32_t encryptSetupTab = -1;
    bool selfCopyPending = false;
    uint64_t lastForegroundChange = 0; // GetTickCount64 milliseconds
    uint64_t lastAutoHide = 0;
    HWND previousWindow = nullptr;
    HFONT listFont = nullptr;
    WindowRect savedRect{-1, -1, -1, -1};
    bool destroying = false;
    bool settingMemoText = false;
};
