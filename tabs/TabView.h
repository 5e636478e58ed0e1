// The content area of the main window: ShowTab puts the current tab on screen as the item
// list, the memo pad or the password panel. The panel's geometry, the list's header texts and
// the memo pad's line ends are plain functions below; the windows live in TabView.cpp.
#pragma once

#include "core/Text.h"
#include "core/Types.h"
#include "tabs/TabFiles.h"
#include "tabs/TabStrip.h"
#include "ui/Windowing.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

// ---- Window side -------------------------------------------------------------------------

// The memo pad and the password panel: the tab view's own controls.
struct TabViewWindows {
    HWND memoPad = nullptr;
    HWND lockImage = nullptr;
    HWND panelLabel = nullptr;
    HWND password = nullptr;
    HWND unlockForRun = nullptr;
    HWND unlockForGood = nullptr;
    HWND confirmLabel = nullptr;
    HWND passwordConfirm = nullptr;
    HWND seal = nullptr;
    HWND cancelSeal = nullptr;
};

// Creates the memo pad (hidden, with the list font) and the password panel's lock picture and
// eight controls (hidden, zero-sized, in Tab order) as children of the main window, with the
// picture's painting and the edits' keys.
void CreateTabView(HWND parent);
const TabViewWindows& ViewWindows();

// The window is going: the memo pad's changes are no longer taken.
void CloseTabView();

// The memo pad's text changed (EN_CHANGE): it becomes the tab's entry at once, and its file is
// written once typing pauses (ScheduleMemoSave), sealed while the tab is open for the run.
void OnMemoPadEdited();

// The memo pad's whole text becomes the slot's only entry (none when the text is empty). Done
// on every change the user makes in it, so a memo pad tab's entries are always its text.
void MemoTextIntoItems(TabSlot& slot);

// Puts tab t on screen: the memo pad, the list or the password panel, the list's column
// headers, the tab strip's states; then redraws the main window.
void ShowTab(int t);

// Puts tab t on screen, from the keys or a click on the strip alike: the strip, the content
// and the focus follow.
void SwitchToTab(int t);

// Tab t's entries were taken in from its file (changed by another program or PC): where it is on
// screen it shows them, the selection and the scroll position staying on the same entries where
// they remain, the memo pad's caret where its text is unchanged. The focus stays where it is.
void ShowTakenInTab(int t, const ViewAnchor& anchor);
// The entries the list shows selected and at its top now (none when it shows no list).
ViewAnchor ListViewAnchor();

// Why the focus is being placed: the window came up (or a dialog over it closed), or a tab
// was switched to with Left and Right or a click on the strip.
enum class FocusCause { Show, TabSwitch };

// The one focus rule: the password box when the panel asks for one; the strip on a tab whose
// file could not be read, and right after switching to a memo pad (so Left and Right go on
// switching); the memo pad when the window comes up on one; else the list, its first row
// selected when none is. A hidden control never gets the focus: on a memo pad the list is.
void FocusTabView(FocusCause cause);

// Places the panel (part of the main window's layout): setup geometry while the current tab is
// in encryption setup, unlock geometry otherwise; gives the panel and the memo pad the list
// font and repaints the panel controls that are visible.
void LayoutPasswordPanel(HWND mainWindow, int clientWidth, int clientHeight, int toolbarHeight);

// ---- Logic -------------------------------------------------------------------------------

enum class PanelMode { Hidden, Unlock, Setup, Unreadable };

// Never stored: a tab whose file could not be read says so, a sealed tab asks for its
// password, the tab in encryption setup for a new one.
inline PanelMode PanelModeFor(int tab, bool sealed, int encryptSetupTab, bool unreadable = false) {
    if (unreadable)
        return PanelMode::Unreadable;
    if (sealed)
        return PanelMode::Unlock;
    if (tab >= 0 && tab == encryptSetupTab)
        return PanelMode::Setup;
    return PanelMode::Hidden;
}

// Where FocusTabView puts the keys (the rule above).
enum class FocusTarget { Password, Strip, MemoPad, List };
inline FocusTarget FocusTargetFor(PanelMode panel, int tab, TabType type, FocusCause cause) {
    switch (panel) {
    case PanelMode::Unlock:
    case PanelMode::Setup:
        return FocusTarget::Password;
    case PanelMode::Unreadable:
        return FocusTarget::Strip;
    case PanelMode::Hidden:
        break;
    }
    if (type == TabType::MemoPad && tab != kHistoryTab)
        return cause == FocusCause::TabSwitch ? FocusTarget::Strip : FocusTarget::MemoPad;
    return FocusTarget::List;
}

struct ControlBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct PanelGeometry {
    bool setupMode = false;
    ControlBox lockImage;
    ControlBox firstLabel;
    ControlBox password;
    ControlBox confirmLabel; // placed in setup mode only
    ControlBox confirmEdit;  // placed in setup mode only
    ControlBox leftButton;   // 8002 "一時解除" when unlocking, 8005 "暗号化実行" in setup
    ControlBox rightButton;  // 8003 "暗号化解除" when unlocking, 8006 "キャンセル" in setup
};

// The panel is centred in the content area below the toolbar and the strip. Divisions
// truncate, as the layout always has; the picture is 64 pixels at 96 dpi.
inline PanelGeometry ComputePanelGeometry(int clientWidth, int clientHeight, int toolbarHeight, int dpi,
                                          bool setupMode) {
    // Every design size is given at 96 dots per inch and scaled to the window's.
    const auto s = [dpi](int size96) { return MulDiv(size96, dpi, 96); };
    const int strip = TabStripHeight(dpi);
    const int top = toolbarHeight + strip;
    const int centre = toolbarHeight + (clientHeight - top) / 2 + strip;
    const int labelWidth = std::min(clientWidth - s(20), s(450));
    const int labelLeft = (clientWidth - labelWidth) / 2;
    const int middle = clientWidth / 2;
    const int imageSize = s(64);
    const int gap = std::max((centre - imageSize - top - s(40)) / 2, s(5));

    PanelGeometry g;
    g.setupMode = setupMode;
    g.lockImage = {middle - imageSize / 2, top + gap, imageSize, imageSize};
    if (setupMode) {
        g.firstLabel = {labelLeft, centre - s(68), labelWidth, s(20)};
        g.password = {middle - s(110), centre - s(43), s(220), s(24)};
        g.confirmLabel = {labelLeft, centre - s(4), labelWidth, s(20)};
        g.confirmEdit = {middle - s(110), centre + s(21), s(220), s(24)};
        g.leftButton = {middle - s(105), centre + s(60), s(100), s(26)};
        g.rightButton = {middle + s(5), centre + s(60), s(100), s(26)};
    } else {
        g.firstLabel = {labelLeft, centre - s(40), labelWidth, s(20)};
        g.password = {middle - s(110), centre - s(10), s(220), s(24)};
        g.leftButton = {middle - s(105), centre + s(25), s(100), s(26)};
        g.rightButton = {middle + s(5), centre + s(25), s(100), s(26)};
    }
    return g;
}

inline constexpr size_t kListHeaderMaxUnits = 63;

// Column 0 of the list: state marks on the history, row numbers on the other tabs.
inline const wchar_t* FirstColumnHeader(int tab) {
    return tab == kHistoryTab ? L"再" : L"番";
}

// Column 1 of the list: the padlock (two UTF-16 units) and the tab's name, cut to 63 units.
inline std::wstring ListHeaderText(const TabSlot& slot) {
    std::wstring text = TabCaption(slot);
    if (text.size() > kListHeaderMaxUnits)
        text.resize(kListHeaderMaxUnits);
    return text;
}

// The edit control breaks lines only at CR LF: every LF without a CR before it gets one. A CR
// alone and a CR LF pair stay as they are.
inline std::wstring MemoTextForDisplay(std::wstring_view text) {
    return ToCrLf(text, LoneCr::Keep);
}

// The panel's words for a tab whose file could not be read at start-up.
inline std::wstring UnreadableTabText(const TabSlot& slot) {
    return L"このタブのファイル「" + slot.fileName + L"」を読み込めなかったため、今回は使用できません。";
}

// Where a position in `before` (a caret, a selection's end) lies in `after`, the same text
// with one stretch changed: before the change it stays, after it it keeps its distance from
// the end, inside it goes to the change's start.
inline size_t PositionAfterChange(std::wstring_view before, std::wstring_view after, size_t position) {
    const size_t shorter = std::min(before.size(), after.size());
    size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    position = std::min(position, before.size());
    if (position <= prefix)
        return position;
    if (before.size() - position <= suffix)
        return after.size() - (before.size() - position);
    return prefix;
}

// What the memo pad shows for tab t: the first entry of tabs 1 to 3, else nothing.
inline std::wstring MemoPadText(int tab, const TabSlot& slot) {
    if (tab < 1 || tab >= kTabCount || slot.items.empty())
        return std::wstring();
    return MemoTextForDisplay(slot.items.front().text);
}
