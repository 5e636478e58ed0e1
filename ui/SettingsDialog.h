// The settings dialog ("設定"): counts, duplicate blocking, the screen-edge area, the hotkey,
// the list font and the start-up shortcut. What it decides without a window (the hotkey text,
// the key capture, the counts, the area list) is in the plain functions below; the dialog and
// the hotkey box live in SettingsDialog.cpp.
#pragma once

#include "core/Capture.h"
#include "core/Types.h"
#include "storage/Settings.h"
#include "ui/Keys.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// ---- Window side -------------------------------------------------------------------------

// What the dialog edits and whom it tells.
struct SettingsHost {
    AppState* state = nullptr;
    HWND main = nullptr; // the owner, for which the hotkey is registered
    std::function<HFONT()> listFont;
    std::function<void(HFONT)> replaceListFont; // "変更": the chosen font applies at once
    std::function<bool()> saveHistory;          // a lowered 最大保存件数 cut the history
    std::function<void()> saveSettings;         // settings.ini with the window's rectangle
    std::function<void()> refreshList;          // the history's rows or count may have changed
};

// Runs the modal dialog owned by the main window; everything is applied inside it. While one
// is open, another request only brings that one to the front.
INT_PTR OpenSettingsDialog(const SettingsHost& host);

// The key's name as the keyboard layout gives it ("F9", "Home"); "" when it has none.
std::wstring SystemKeyName(UINT virtualKey);

// ---- Logic -------------------------------------------------------------------------------

// The 貼り付けキー box at OK: items that name no known key are refused with this message (empty
// when there are none), and nothing is applied.
inline std::wstring PasteKeysRefusalText(const std::vector<std::wstring>& refused) {
    if (refused.empty())
        return std::wstring();
    std::wstring text = L"次の貼り付けキーの指定は使えません。\n\n";
    for (const std::wstring& item : refused)
        text += L"  " + item + L"\n";
    return text + L"\n「プログラム名=キー」を ; で区切って入力してください（例: putty.exe=Shift+Insert）。"
                  L"キーは Ctrl+V、Shift+Insert、Ctrl+Shift+V、Alt+V のいずれかです。";
}

// What the box's rules make of the setting: the very list that is built in, left as it was when
// the setting was not given, stays not given (settings.ini gains no line); anything else is given.
struct PasteKeysChoice {
    bool given = false;
    std::vector<PasteKeyRule> rules;
};
inline PasteKeysChoice PasteKeysFromDialog(const std::vector<PasteKeyRule>& typed, bool wasGiven) {
    if (!wasGiven && typed == BuiltInPasteKeys())
        return {false, {}};
    return {true, typed};
}

// RegisterHotKey's modifier bits, as "TempHotkeyMod" and settings.ini hold them.
inline constexpr UINT kHotkeyAlt = 1;
inline constexpr UINT kHotkeyCtrl = 2;
inline constexpr UINT kHotkeyShift = 4;
inline constexpr UINT kHotkeyWin = 8;

// The modifier part of the hotkey text: "Ctrl + ", "Shift + ", "Alt + ", "Win + " in this
// order, for the bits that are set.
inline std::wstring HotkeyModifierText(UINT modifiers) {
    std::wstring text;
    if (modifiers & kHotkeyCtrl)
        text += L"Ctrl + ";
    if (modifiers & kHotkeyShift)
        text += L"Shift + ";
    if (modifiers & kHotkeyAlt)
        text += L"Alt + ";
    if (modifiers & kHotkeyWin)
        text += L"Win + ";
    return text;
}

// Keys that GetKeyNameTextW names only with the extended-key flag: the navigation block,
// the Windows and menu keys, numeric-pad divide and Num Lock. Without it Home would read as
// the numeric pad's "7".
inline bool IsExtendedNameKey(UINT virtualKey) {
    return (virtualKey >= 0x21 && virtualKey <= 0x2F) || (virtualKey >= 0x5B && virtualKey <= 0x5D) ||
           virtualKey == 0x6F || virtualKey == 0x90;
}

// The lParam GetKeyNameTextW expects for a key with this scan code.
inline LONG KeyNameParam(UINT virtualKey, UINT scanCode) {
    if (IsExtendedNameKey(virtualKey))
        scanCode |= 0x100;
    return static_cast<LONG>(scanCode << 16);
}

// Gives a key's name, "" when it has none.
using KeyNameLookup = std::function<std::wstring(UINT virtualKey)>;

// What stands in the hotkey box for a key without a name.
enum class NamelessKey {
    Omit, // the modifier part alone (the box as the dialog opens)
    Hex,  // "0x" and two hex digits of the virtual-key code (a key just pressed)
};

// The hotkey box's text: the modifier part, then the key's name.
inline std::wstring HotkeyText(UINT modifiers, UINT virtualKey, const KeyNameLookup& keyName, NamelessKey nameless) {
    std::wstring text = HotkeyModifierText(modifiers);
    std::wstring name = keyName ? keyName(virtualKey) : std::wstring();
    if (name.empty() && nameless == NamelessKey::Hex) {
        wchar_t hex[16] = {};
        swprintf(hex, 16, L"0x%02X", virtualKey);
        name = hex;
    }
    return text + name;
}

// What a key pressed in the hotkey box does, with the modifiers held at the time.
enum class HotkeyKeyAction {
    Clear,  // Delete alone: no hotkey
    Ignore, // a modifier key itself: wait for the real key
    Refuse, // any other key without a modifier: the "設定エラー" message, nothing changes
    Record, // becomes the hotkey being edited
};

inline HotkeyKeyAction DecideHotkeyKey(UINT virtualKey, UINT modifiers) {
    if (virtualKey == VK_DELETE && modifiers == 0)
        return HotkeyKeyAction::Clear;
    if (IsModifierKey(virtualKey))
        return HotkeyKeyAction::Ignore;
    if (modifiers == 0)
        return HotkeyKeyAction::Refuse;
    return HotkeyKeyAction::Record;
}

// Tab and Escape without any modifier are left to the dialog (focus, Cancel); every other key
// comes to the hotkey box, so Ctrl+Escape or Shift+Tab can be a hotkey.
inline bool DialogTakesKey(UINT message, WPARAM virtualKey, bool modifierDown) {
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN)
        return false;
    return (virtualKey == VK_TAB || virtualKey == VK_ESCAPE) && !modifierDown;
}

// A count from its edit box, read like _wtoi on the first 15 characters (leading digits, 0
// when there are none) but saturating instead of overflowing.
inline int CountFromText(std::wstring_view text) {
    return ParseLeadingInt(text.substr(0, 15));
}

struct HistoryCounts {
    int historyLimit = 1; // entries shown
    int maxHistory = 1;   // entries kept
};

// The counts OK stores: at least one entry is shown, and at least as many are kept as shown.
inline HistoryCounts SettleHistoryCounts(int historyLimit, int maxHistory) {
    HistoryCounts counts;
    counts.historyLimit = std::max(historyLimit, 1);
    counts.maxHistory = std::max(maxHistory, counts.historyLimit);
    return counts;
}

// The texts of the click-area box, in the order of their positions.
inline constexpr const wchar_t* kAreaChoices[] = {L"なし",         L"画面上端左側", L"画面上端右側", L"画面左端上側",
                                                  L"画面左端下側", L"画面右端上側", L"画面右端下側"};
inline constexpr int kAreaChoiceCount = static_cast<int>(sizeof(kAreaChoices) / sizeof(kAreaChoices[0]));

// Position 0 is "なし" (-1); positions 1 to 6 are the areas 0 to 5. An area outside 0..5 (a
// hand-edited settings.ini) never matches a click, so it shows as "なし".
inline int AreaComboPosition(int enabledArea) {
    return (enabledArea >= 0 && enabledArea < kAreaChoiceCount - 1) ? enabledArea + 1 : 0;
}

// The area a position stands for; no selection (CB_ERR) or an unknown position is none.
inline int EnabledAreaFromComboPosition(int position) {
    return (position >= 1 && position < kAreaChoiceCount) ? position - 1 : -1;
}
