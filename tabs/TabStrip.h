// The tab strip: the row of four equal tabs between the toolbar and the content area, which the
// program paints itself. Its geometry, captions, hover rules, colours and menu contents are
// plain functions below; the window side (creation, painting, mouse, menu) lives in
// TabStrip.cpp.
#pragma once

#include "core/Types.h"
#include "ui/Colours.h"
#include "ui/Ids.h"

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kTabStripHeight = 28; // at 96 dots per inch

// The strip's height at `dpi`.
inline int TabStripHeight(int dpi) {
    return MulDiv(kTabStripHeight, dpi, 96);
}

enum class TabVisual : int { Normal = 0, Hovered = 1, Selected = 2 };
using TabVisuals = std::array<TabVisual, kTabCount>;

// ---- Window side -------------------------------------------------------------------------

// What the strip asks of the parts above it: handed over by InitTabs, before the strip exists.
struct TabStripCalls {
    std::function<void(int)> switchTo;           // a click on a tab
    std::function<void(int)> beginSeal;          // "このタブを暗号化..."
    std::function<void(int)> relock;             // "暗号化状態に戻す"
    std::function<void(int, HWND)> openSettings; // "タブの設定", the dialog owned by the strip
};
void InitTabStrip(const TabStripCalls& calls);

// Creates the strip as a child of the main window at (0, y), `width` wide and 24 high until the
// layout places it, subclasses it and gives it `font`. It is a tab control (id 6001, named
// "タブ"): its four items hold the tabs' captions and which one is selected, so that screen
// readers find four named tabs and can switch them (a selection made from outside, as UI
// Automation makes it, switches the tab; the tabs' places are the painted ones). The program
// paints it and handles its mouse and keys; the control only keeps what the readers ask.
HWND CreateTabStrip(HWND parent, int y, int width, HFONT font);
HWND TabStripWindow();
// Drops the font reference before the font itself is deleted.
void ForgetTabStripFont();
// Tab t selected, the others normal, the captions as the tabs are now; repaints the strip at
// once when it exists.
void SelectTabInStrip(int t);
// Recomputes the four tab rectangles for a strip of this size. The layout moves the window
// itself (to y = toolbar height, TabStripHeight high) and then calls this.
void LayoutTabStrip(int width, int height);

// ---- Logic -------------------------------------------------------------------------------

// The strip shows a focus rectangle on the selected tab while it has the keyboard, unless the
// window's state hides focus marks (UISF_HIDEFOCUS in WM_QUERYUISTATE: the mouse was used last).
inline bool StripShowsFocus(bool hasFocus, LRESULT uiState) {
    return hasFocus && (uiState & UISF_HIDEFOCUS) == 0;
}

// Four tabs side by side: c = width / 4 each, the last one takes the remainder.
inline std::array<RECT, kTabCount> TabRectangles(int width, int height) {
    const int c = width / kTabCount;
    std::array<RECT, kTabCount> rects{};
    for (int k = 0; k < kTabCount; ++k) {
        rects[k].left = k * c;
        rects[k].right = (k == kTabCount - 1) ? width : (k + 1) * c;
        rects[k].top = 0;
        rects[k].bottom = height;
    }
    return rects;
}

// Index of the first tab whose rectangle holds the point (right and bottom edges excluded),
// -1 when none does.
inline int TabAtPoint(const std::array<RECT, kTabCount>& rects, POINT pt) {
    for (int k = 0; k < kTabCount; ++k) {
        const RECT& r = rects[k];
        if (pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom)
            return k;
    }
    return -1;
}

inline constexpr wchar_t kSealedMark[] = L"\U0001F512"; // closed padlock, two UTF-16 units
inline constexpr wchar_t kOpenedMark[] = L"\U0001F513"; // open padlock

// The padlock in front of a tab's name: closed when sealed, open when opened for this run.
inline std::wstring_view TabLockMark(const TabSlot& slot) {
    if (slot.encrypted)
        return kSealedMark;
    if (slot.tempUnlocked)
        return kOpenedMark;
    return {};
}

inline std::wstring TabCaption(const TabSlot& slot) {
    std::wstring caption(TabLockMark(slot));
    caption += slot.name;
    return caption;
}

// The text itself when it fits; else the longest prefix (cut by UTF-16 units) followed by
// "..." that fits; else "..." alone. One measurement per candidate.
inline std::wstring FitTextWithEllipsis(const std::function<int(std::wstring_view)>& measureWidth,
                                        std::wstring_view text, int width) {
    if (measureWidth(text) <= width)
        return std::wstring(text);
    for (size_t n = text.size(); n-- > 0;) {
        std::wstring candidate(text.substr(0, n));
        candidate += L"...";
        if (measureWidth(candidate) <= width)
            return candidate;
    }
    return L"...";
}

// The same, measured with GetTextExtentPoint32W in the DC's selected font.
std::wstring FitTextWithEllipsis(HDC dc, std::wstring_view text, int width);

// Tab t selected and every other tab normal (a hover mark elsewhere is cleared too).
inline TabVisuals SelectedOnly(int t) {
    TabVisuals visuals{};
    visuals.fill(TabVisual::Normal);
    if (t >= 0 && t < kTabCount)
        visuals[t] = TabVisual::Selected;
    return visuals;
}

// Moves the hover mark from `hovered` to `newHover` (-1 for none). The selected tab keeps its
// state. Returns false, changing nothing, when the mouse stays on the same tab.
inline bool MoveTabHover(TabVisuals& visuals, int& hovered, int newHover) {
    if (newHover == hovered)
        return false;
    if (hovered >= 0 && hovered < kTabCount && visuals[hovered] != TabVisual::Selected)
        visuals[hovered] = TabVisual::Normal;
    if (newHover >= 0 && newHover < kTabCount && visuals[newHover] != TabVisual::Selected)
        visuals[newHover] = TabVisual::Hovered;
    hovered = newHover;
    return true;
}

// The colours of a tab in its visual state.
inline TabColours ColoursForTab(const ColourScheme& scheme, TabVisual visual) {
    return TabColoursFor(scheme, visual == TabVisual::Selected, visual == TabVisual::Hovered);
}

// Where the caption is drawn: the tab inset 4 pixels left and right and 2 from the top.
inline RECT TabTextRect(const RECT& tab) {
    return RECT{tab.left + 4, tab.top + 2, tab.right - 4, tab.bottom};
}

// The orange bar under a selected or hovered tab: two rows above the strip's last row, which
// stays background.
inline RECT TabMarkBar(const RECT& tab, int clientHeight) {
    return RECT{tab.left, clientHeight - 3, tab.right, clientHeight - 1};
}

struct TabMenuEntry {
    UINT id;
    const wchar_t* text;
    bool grayed;
};

// The right-click menu of tab `tab`: re-seal (opened for the run) or seal (greyed when already
// sealed), then the settings, which neither the history nor a tab with a password may change.
inline std::vector<TabMenuEntry> TabMenuEntries(int tab, const TabSlot& slot) {
    std::vector<TabMenuEntry> entries;
    if (slot.tempUnlocked)
        entries.push_back({CMD_RELOCK_TAB, L"暗号化状態に戻す", false});
    else
        entries.push_back({CMD_ENCRYPT_TAB, L"このタブを暗号化...", slot.encrypted});
    entries.push_back({CMD_TAB_SETTINGS, L"タブの設定", tab == kHistoryTab || slot.encrypted || slot.tempUnlocked});
    return entries;
}
