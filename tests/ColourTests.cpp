// The colour choice: the program's own scheme, or, under high contrast, the theme's colours in
// the pairs the theme makes readable, with every state of a tab, a row and a toolbar button
// still told apart.
#include "ui/Colours.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Every system colour different, so that a test can tell which one was taken.
SystemColours Marked() {
    SystemColours c;
    c.window = RGB(1, 0, 0);
    c.windowText = RGB(2, 0, 0);
    c.highlight = RGB(3, 0, 0);
    c.highlightText = RGB(4, 0, 0);
    c.buttonFace = RGB(5, 0, 0);
    c.buttonText = RGB(6, 0, 0);
    c.hotLight = RGB(7, 0, 0);
    return c;
}

// Windows' "High Contrast Black".
SystemColours HighContrastBlack() {
    SystemColours c;
    c.window = RGB(0, 0, 0);
    c.windowText = RGB(255, 255, 255);
    c.highlight = RGB(26, 235, 255);
    c.highlightText = RGB(0, 0, 0);
    c.buttonFace = RGB(0, 0, 0);
    c.buttonText = RGB(255, 255, 255);
    c.hotLight = RGB(255, 255, 0);
    return c;
}

ColourScheme Scheme(bool highContrast, const SystemColours& system) {
    ColourScheme s;
    s.highContrast = highContrast;
    s.system = system;
    return s;
}

// (text, background) of everything that draws text, in every state.
std::vector<std::pair<COLORREF, COLORREF>> TextPairs(const ColourScheme& s) {
    std::vector<std::pair<COLORREF, COLORREF>> pairs;
    for (bool selected : {false, true})
        for (bool hovered : {false, true}) {
            const TabColours tab = TabColoursFor(s, selected, hovered);
            pairs.push_back({tab.text, tab.background});
            if (tab.markBar)
                pairs.push_back({tab.mark, tab.background});
            const RowColours row = RowColoursFor(s, selected, hovered);
            pairs.push_back({row.text, row.background});
        }
    for (bool hot : {false, true})
        for (bool checked : {false, true}) {
            const ToolbarButtonColours button = ToolbarButtonColoursFor(s, hot, checked);
            if (button.frame)
                pairs.push_back({button.frameColour, button.background});
        }
    const ContentColours content = ContentColoursFor(s);
    pairs.push_back({content.text, content.background});
    pairs.push_back({content.quietText, content.background});
    pairs.push_back({content.line, content.background});
    pairs.push_back({content.dropMark, content.background});
    return pairs;
}

using TabLook = std::tuple<COLORREF, COLORREF, bool, COLORREF>;
TabLook Look(const TabColours& c) {
    return {c.background, c.text, c.markBar, c.markBar ? c.mark : 0};
}

TEST(HighContrast, EveryTextSitsOnTheBackgroundTheThemePairsItWith) {
    const SystemColours c = Marked();
    const std::set<std::pair<COLORREF, COLORREF>> readable = {
        {c.windowText, c.window}, {c.highlight, c.window}, // a selection on the window
        {c.hotLight, c.window},   {c.highlightText, c.highlight}, {c.buttonText, c.buttonFace},
    };
    for (const auto& [text, background] : TextPairs(Scheme(true, c)))
        EXPECT_TRUE(readable.count({text, background}))
            << "text " << GetRValue(text) << " on background " << GetRValue(background);
    // The areas without text are the theme's too.
    EXPECT_EQ(StripBackground(Scheme(true, c)), c.buttonFace);
    EXPECT_EQ(ToolbarBackground(Scheme(true, c)), c.buttonFace);
}

TEST(HighContrast, StatesStayApartInARealTheme) {
    for (const ColourScheme& s : {Scheme(true, HighContrastBlack()), Scheme(false, HighContrastBlack())}) {
        const TabLook normal = Look(TabColoursFor(s, false, false));
        const TabLook hovered = Look(TabColoursFor(s, false, true));
        const TabLook selected = Look(TabColoursFor(s, true, false));
        EXPECT_NE(normal, hovered);
        EXPECT_NE(normal, selected);
        EXPECT_NE(hovered, selected);
        EXPECT_EQ(Look(TabColoursFor(s, true, true)), selected) << "the selected tab is never marked hovered";

        const auto row = [&s](bool selected, bool hovered) {
            const RowColours r = RowColoursFor(s, selected, hovered);
            return std::make_pair(r.text, r.background);
        };
        EXPECT_NE(row(false, false), row(false, true));
        EXPECT_NE(row(false, false), row(true, false));
        EXPECT_NE(row(false, true), row(true, false));
        EXPECT_EQ(row(true, true), row(true, false));

        EXPECT_NE(ToolbarButtonColoursFor(s, true, false).background,
                  ToolbarButtonColoursFor(s, false, false).background);
    }
    // Under high contrast a toggle that is on is told by more than its icon's colour.
    const ColourScheme hc = Scheme(true, HighContrastBlack());
    for (bool hot : {false, true}) {
        EXPECT_TRUE(ToolbarButtonColoursFor(hc, hot, true).frame);
        EXPECT_FALSE(ToolbarButtonColoursFor(hc, hot, false).frame);
    }
}

TEST(HighContrastOff, TheSystemColoursChangeNothing) {
    const ColourScheme a = Scheme(false, Marked());
    const ColourScheme b = Scheme(false, HighContrastBlack());
    EXPECT_EQ(TextPairs(a), TextPairs(b));
    EXPECT_EQ(StripBackground(a), StripBackground(b));
    EXPECT_EQ(ToolbarBackground(a), ToolbarBackground(b));
    EXPECT_EQ(ContentColoursFor(a).background, kContentBackground);
}

TEST(HighContrastOff, TheStripAndTheListKeepTheirOwnLook) {
    const ColourScheme s = Scheme(false, Marked());
    EXPECT_EQ(Look(TabColoursFor(s, true, false)),
              TabLook(RGB(43, 43, 43), RGB(245, 130, 32), true, RGB(245, 130, 32)));
    EXPECT_EQ(Look(TabColoursFor(s, false, true)), TabLook(RGB(0, 0, 0), RGB(255, 255, 255), true, RGB(245, 130, 32)));
    EXPECT_EQ(Look(TabColoursFor(s, false, false)), TabLook(RGB(43, 43, 43), RGB(255, 255, 255), false, 0));
    EXPECT_EQ(StripBackground(s), RGB(43, 43, 43));
    EXPECT_EQ(ToolbarButtonColoursFor(s, true, true).background, RGB(0, 0, 0));
    EXPECT_FALSE(ToolbarButtonColoursFor(s, false, true).frame);
    const RowColours selected = RowColoursFor(s, true, true);
    EXPECT_EQ(std::make_pair(selected.text, selected.background), std::make_pair(RGB(255, 255, 255), RGB(0, 120, 215)));
    EXPECT_EQ(RowColoursFor(s, false, true).background, RGB(217, 235, 249));
}

} // namespace
