// The tab strip's geometry, ellipsis, hover rule and menu; the password panel's
// geometry; the list header texts, the memo pad's line ends and when its typing is written.
#include "tabs/TabFiles.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::wstring kSealed = L"\U0001F512";

std::vector<int> Widths(const std::array<RECT, kTabCount>& rects) {
    std::vector<int> widths;
    for (const RECT& r : rects)
        widths.push_back(r.right - r.left);
    return widths;
}

TabSlot Slot(const wchar_t* name, bool encrypted = false, bool tempUnlocked = false) {
    TabSlot slot;
    slot.name = name;
    slot.encrypted = encrypted;
    slot.tempUnlocked = tempUnlocked;
    return slot;
}

// ---- Tab rectangles and hit test ---------------------------------------------------------

TEST(TabRectangles, LastTabTakesTheRemainder) {
    const auto rects = TabRectangles(350, 28);
    EXPECT_EQ(Widths(rects), (std::vector<int>{87, 87, 87, 89}));
    EXPECT_EQ(rects[0].left, 0);
    EXPECT_EQ(rects[3].left, 261);
    EXPECT_EQ(rects[3].right, 350);
    for (const RECT& r : rects) {
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.bottom, 28);
    }
}

TEST(TabRectangles, TabsTouchWithoutGapsOrOverlap) {
    const auto rects = TabRectangles(401, 28);
    const long expected[kTabCount][2] = {{0, 100}, {100, 200}, {200, 300}, {300, 401}};
    for (int k = 0; k < kTabCount; ++k) {
        EXPECT_EQ(rects[k].left, expected[k][0]) << k;
        EXPECT_EQ(rects[k].right, expected[k][1]) << k;
    }
}

TEST(TabAtPoint, RightAndBottomEdgesBelongToNoTab) {
    const auto rects = TabRectangles(350, 28);
    EXPECT_EQ(TabAtPoint(rects, POINT{0, 0}), 0);
    EXPECT_EQ(TabAtPoint(rects, POINT{86, 27}), 0);
    EXPECT_EQ(TabAtPoint(rects, POINT{87, 27}), 1);
    EXPECT_EQ(TabAtPoint(rects, POINT{349, 10}), 3);
    EXPECT_EQ(TabAtPoint(rects, POINT{350, 10}), -1);
    EXPECT_EQ(TabAtPoint(rects, POINT{10, 28}), -1);
}

// Ten pixels per UTF-16 unit, twenty for 'W'; counts the measurements.
struct FakeMeasure {
    int calls = 0;
    int operator()(std::wstring_view s) {
        ++calls;
        int width = 0;
        for (wchar_t c : s)
            width += (c == L'W') ? 20 : 10;
        return width;
    }
};

std::wstring Fit(FakeMeasure& m, std::wstring_view text, int width) {
    return FitTextWithEllipsis([&m](std::wstring_view s) { return m(s); }, text, width);
}

TEST(FitTextWithEllipsis, LongestPrefixThatFitsWithDots) {
    FakeMeasure m;
    EXPECT_EQ(Fit(m, L"ABCDEFGH", 79), L"ABCD...");
    // Whole text, then prefixes of 7, 6, 5 and 4 units.
    EXPECT_EQ(m.calls, 5);
}

TEST(FitTextWithEllipsis, MeasuresEachCandidateNotItsLength) {
    FakeMeasure m;
    // "AWWW" is 70 wide, "AWW..." 80, "AW..." 60; six units at ten would have fitted.
    EXPECT_EQ(Fit(m, L"AWWW", 69), L"AW...");
}

TEST(FitTextWithEllipsis, DotsAloneWhenNothingElseFits) {
    FakeMeasure m;
    EXPECT_EQ(Fit(m, L"ABCDEFGH", 30), L"...");
    EXPECT_EQ(Fit(m, L"ABCDEFGH", 0), L"...");
    EXPECT_EQ(Fit(m, L"ABCDEFGH", -8), L"...");
}

TEST(TabHover, MarkFollowsTheMouseAndLeavesNormalTabsBehind) {
    TabVisuals v = SelectedOnly(0);
    int hovered = -1;
    MoveTabHover(v, hovered, 2);
    EXPECT_EQ(v[2], TabVisual::Hovered);
    MoveTabHover(v, hovered, 3);
    EXPECT_EQ(v[2], TabVisual::Normal);
    EXPECT_EQ(v[3], TabVisual::Hovered);
    MoveTabHover(v, hovered, -1);
    EXPECT_EQ(v[3], TabVisual::Normal);
    EXPECT_EQ(hovered, -1);
    EXPECT_EQ(v[0], TabVisual::Selected);
}

TEST(TabHover, SelectingClearsAHoverMarkElsewhere) {
    const TabVisuals v = SelectedOnly(2);
    EXPECT_EQ(v, (TabVisuals{TabVisual::Normal, TabVisual::Normal, TabVisual::Selected, TabVisual::Normal}));
    const TabVisuals none = SelectedOnly(-1);
    EXPECT_EQ(none, (TabVisuals{TabVisual::Normal, TabVisual::Normal, TabVisual::Normal, TabVisual::Normal}));
}

// ---- Context menu ----------------------------------------------------------------------------

struct MenuRow {
    UINT id;
    std::wstring text;
    bool grayed;
    bool operator==(const MenuRow& o) const { return id == o.id && text == o.text && grayed == o.grayed; }
};

std::vector<MenuRow> Menu(int tab, const TabSlot& slot) {
    std::vector<MenuRow> rows;
    for (const TabMenuEntry& e : TabMenuEntries(tab, slot))
        rows.push_back({e.id, e.text, e.grayed});
    return rows;
}

// The focus rectangle as Windows' UI state has it: shown while the strip has the keyboard, unless
// the mouse was used last (UISF_HIDEFOCUS), whatever else the state holds.
TEST(TabFocus, ShownWithTheKeyboardUnlessTheWindowHidesFocusMarks) {
    EXPECT_TRUE(StripShowsFocus(true, 0));
    EXPECT_TRUE(StripShowsFocus(true, UISF_HIDEACCEL));
    EXPECT_FALSE(StripShowsFocus(true, UISF_HIDEFOCUS | UISF_HIDEACCEL));
    EXPECT_FALSE(StripShowsFocus(false, 0));
}

TEST(TabMenu, SealedTabGreysBoth) {
    EXPECT_EQ(Menu(2, Slot(L"x", true)),
              (std::vector<MenuRow>{{7001, L"このタブを暗号化...", true}, {40010, L"タブの設定", true}}));
}

void ExpectBox(const ControlBox& box, int x, int y, int width, int height, const char* what) {
    EXPECT_EQ(box.x, x) << what;
    EXPECT_EQ(box.y, y) << what;
    EXPECT_EQ(box.width, width) << what;
    EXPECT_EQ(box.height, height) << what;
}

TEST(PanelGeometry, SetupModeInTheDefaultWindow) {
    const PanelGeometry g = ComputePanelGeometry(350, 480, 40, 96, true);
    EXPECT_TRUE(g.setupMode);
    ExpectBox(g.lockImage, 143, 119, 64, 64, "image");
    ExpectBox(g.firstLabel, 10, 206, 330, 20, "label");
    ExpectBox(g.password, 65, 231, 220, 24, "password");
    ExpectBox(g.confirmLabel, 10, 270, 330, 20, "confirm label");
    ExpectBox(g.confirmEdit, 65, 295, 220, 24, "confirm");
    ExpectBox(g.leftButton, 70, 334, 100, 26, "8005");
    ExpectBox(g.rightButton, 180, 334, 100, 26, "8006");
}

TEST(PanelGeometry, LabelsAreWidthLessTwentyButAtMost450Centred) {
    const PanelGeometry narrow = ComputePanelGeometry(300, 480, 40, 96, false);
    EXPECT_EQ(narrow.firstLabel.width, 280);
    EXPECT_EQ(narrow.firstLabel.x, 10);
    const PanelGeometry wide = ComputePanelGeometry(1000, 480, 40, 96, true);
    EXPECT_EQ(wide.firstLabel.width, 450);
    EXPECT_EQ(wide.firstLabel.x, 275);
    EXPECT_EQ(wide.confirmLabel.width, 450);
    EXPECT_EQ(wide.confirmLabel.x, 275);
}

TEST(PanelGeometry, EverySizeFollowsTheWindowsScale) {
    // At 144 dpi the strip is 42 high and the panel's parts half again as large as at 96.
    const PanelGeometry g = ComputePanelGeometry(525, 720, 54, 144, false);
    const int centre = 54 + (720 - 54 - 42) / 2 + 42;
    ExpectBox(g.lockImage, 262 - 48, g.lockImage.y, 96, 96, "image");
    ExpectBox(g.firstLabel, (525 - 495) / 2, centre - 60, 495, 30, "label");
    ExpectBox(g.password, 262 - 165, centre - 15, 330, 36, "password");
    ExpectBox(g.leftButton, 262 - 158, centre + 38, 150, 39, "8002"); // MulDiv rounds 157.5 up
    EXPECT_EQ(TabStripHeight(144), 42);
    EXPECT_EQ(TabStripHeight(96), 28);
}

TEST(PanelGeometry, PictureKeepsFivePixelsBelowTheStripInALowWindow) {
    const PanelGeometry g = ComputePanelGeometry(350, 100, 40, 96, false);
    EXPECT_EQ(g.lockImage.y, 68 + 5);
}

// ---- Header texts ------------------------------------------------------------------------

TEST(ListHeaderText, MarkCountsTwoUnitsInTheCutTo63) {
    const std::wstring name(62, L'a');
    const std::wstring header = ListHeaderText(Slot(name.c_str(), true));
    EXPECT_EQ(header.size(), 63u);
    EXPECT_EQ(header, kSealed + std::wstring(61, L'a'));
}

TEST(ListHeaderText, UnmarkedNameIsCutTo63) {
    EXPECT_EQ(ListHeaderText(Slot(std::wstring(70, L'c').c_str())), std::wstring(63, L'c'));
}

// ---- Memo pad ------------------------------------------------------------------------------

TEST(MemoTextForDisplay, LoneLineFeedsGainCarriageReturns) {
    EXPECT_EQ(MemoTextForDisplay(L"a\nb\nc"), L"a\r\nb\r\nc");
    EXPECT_EQ(MemoTextForDisplay(L"\n"), L"\r\n");
    EXPECT_EQ(MemoTextForDisplay(L"\n\n"), L"\r\n\r\n");
    EXPECT_EQ(MemoTextForDisplay(L"a\n\r"), L"a\r\n\r");
}

// The memo pad's caret when its text is replaced by one taken in from the file.
TEST(MemoCaret, StaysWhereTheTextAroundItIsUnchanged) {
    const struct {
        const wchar_t* before;
        const wchar_t* after;
        size_t caret;
        size_t expected;
    } cases[] = {
        {L"abc\r\ndef", L"abc\r\ndef\r\nmore", 2, 2},      // added after it: stays
        {L"abc\r\ndef", L"new\r\nabc\r\ndef", 6, 11},       // added before it: moves with its text
        {L"abc\r\ndef", L"abc\r\nXYZ", 7, 5},             // its own line changed: to the change's start
        {L"abc", L"abc", 3, 3},                              // nothing changed
        {L"aaaa", L"aa", 3, 2},                              // inside what went: to where it was
        {L"abc", L"", 2, 0},                                 // all gone
        {L"abc", L"abcdef", 99, 3},                          // past the end: the old end, before what came
    };
    for (const auto& c : cases)
        EXPECT_EQ(PositionAfterChange(c.before, c.after, c.caret), c.expected) << c.before << " -> " << c.after;
}

TEST(MemoSaveDelay, APauseInTypingButNoKeyWaitsLongerThanTheLongestWait) {
    EXPECT_EQ(MemoSaveDelay(0, 1000, 5000), 1000u); // the first key not yet written: a whole pause
    EXPECT_EQ(MemoSaveDelay(3999, 1000, 5000), 1000u);
    EXPECT_EQ(MemoSaveDelay(4500, 1000, 5000), 500u); // typing on: cut short at the longest wait
    EXPECT_EQ(MemoSaveDelay(5000, 1000, 5000), 0u);   // now
    EXPECT_EQ(MemoSaveDelay(6200, 1000, 5000), 0u);   // past it (a seal held the window up): now
    EXPECT_EQ(MemoSaveDelay(UINT64_MAX, 1000, 5000), 0u);
    EXPECT_EQ(MemoSaveDelay(0, 1000, 300), 300u); // a longest wait shorter than the pause wins
    // The program's own pause is at most a second, and typing never goes unwritten for long.
    EXPECT_LE(MemoSaveDelay(0), 1000u);
    EXPECT_EQ(MemoSaveDelay(kMemoSaveLongestWaitMs), 0u);
}

} // namespace

namespace {

// Where the keys go when the window comes up or a tab is switched to: never to a hidden control.
TEST(FocusRule, TheMemoPadOnShowTheStripAfterASwitchThePasswordWhenAsked) {
    using P = PanelMode;
    EXPECT_EQ(FocusTargetFor(P::Hidden, 1, TabType::MemoPad, FocusCause::Show), FocusTarget::MemoPad)
        << "the list is hidden on a memo pad";
    EXPECT_EQ(FocusTargetFor(P::Hidden, 1, TabType::MemoPad, FocusCause::TabSwitch), FocusTarget::Strip);
    EXPECT_EQ(FocusTargetFor(P::Hidden, 2, TabType::MemoList, FocusCause::Show), FocusTarget::List);
    EXPECT_EQ(FocusTargetFor(P::Hidden, 3, TabType::Template, FocusCause::TabSwitch), FocusTarget::List);
    EXPECT_EQ(FocusTargetFor(P::Hidden, 0, TabType::MemoPad, FocusCause::Show), FocusTarget::List)
        << "the history is always a list";
    for (P panel : {P::Unlock, P::Setup})
        EXPECT_EQ(FocusTargetFor(panel, 1, TabType::MemoPad, FocusCause::Show), FocusTarget::Password);
    EXPECT_EQ(FocusTargetFor(P::Unreadable, 1, TabType::MemoPad, FocusCause::Show), FocusTarget::Strip);
}

} // namespace
