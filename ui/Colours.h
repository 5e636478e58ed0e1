// The colours the tool window paints with, chosen in one place: its own scheme (a dark toolbar
// and tab strip over a light content area), or, while high contrast is on, the system's
// colours, so that the user's high-contrast theme decides every one of them. The choice is a
// plain function of the scheme and a control's state; CurrentColourScheme gathers the facts.
#pragma once

#include <windows.h>

// The system colours a high-contrast theme sets, as GetSysColor gives them (read only while
// high contrast is on; the defaults are the usual ones of Windows).
struct SystemColours {
    COLORREF window = RGB(255, 255, 255);        // COLOR_WINDOW
    COLORREF windowText = RGB(0, 0, 0);          // COLOR_WINDOWTEXT
    COLORREF highlight = RGB(0, 120, 215);       // COLOR_HIGHLIGHT
    COLORREF highlightText = RGB(255, 255, 255); // COLOR_HIGHLIGHTTEXT
    COLORREF buttonFace = RGB(240, 240, 240);    // COLOR_BTNFACE
    COLORREF buttonText = RGB(0, 0, 0);          // COLOR_BTNTEXT
    COLORREF hotLight = RGB(0, 102, 204);        // COLOR_HOTLIGHT
};

struct ColourScheme {
    bool highContrast = false; // SPI_GETHIGHCONTRAST, HCF_HIGHCONTRASTON
    SystemColours system;
};

// The program's own colours.
inline constexpr COLORREF kDarkBar = RGB(43, 43, 43);              // toolbar and tab strip
inline constexpr COLORREF kOrangeMark = RGB(245, 130, 32);         // the selected tab's text, the tab marks
inline constexpr COLORREF kContentBackground = RGB(243, 243, 243); // list, memo pad, filter line, panel

// ---- Tab strip ------------------------------------------------------------------------------

struct TabColours {
    COLORREF background;
    COLORREF text;
    bool markBar;  // the bar along the tab's bottom
    COLORREF mark; // its colour
};

inline COLORREF StripBackground(const ColourScheme& s) {
    return s.highContrast ? s.system.buttonFace : kDarkBar;
}

// A selected tab wins over the hover mark. Under high contrast each text sits on the
// background the theme pairs it with: a normal tab is a button, the hovered one is
// highlighted, the selected one takes the window's colours (it belongs to the content below)
// with a highlighted bar.
inline TabColours TabColoursFor(const ColourScheme& s, bool selected, bool hovered) {
    const SystemColours& c = s.system;
    if (selected)
        return s.highContrast ? TabColours{c.window, c.windowText, true, c.highlight}
                              : TabColours{kDarkBar, kOrangeMark, true, kOrangeMark};
    if (hovered)
        return s.highContrast ? TabColours{c.highlight, c.highlightText, true, c.highlightText}
                              : TabColours{RGB(0, 0, 0), RGB(255, 255, 255), true, kOrangeMark};
    return s.highContrast ? TabColours{c.buttonFace, c.buttonText, false, c.buttonFace}
                          : TabColours{kDarkBar, RGB(255, 255, 255), false, kDarkBar};
}

// ---- Toolbar --------------------------------------------------------------------------------

struct ToolbarButtonColours {
    COLORREF background;
    bool frame; // a frame round the button: a toggle that is on, under high contrast
    COLORREF frameColour;
};

inline COLORREF ToolbarBackground(const ColourScheme& s) {
    return s.highContrast ? s.system.buttonFace : kDarkBar;
}

// The icons show a toggle's state by their colour alone (orange or grey); under high contrast
// a toggle that is on is framed as well, in the theme's colours.
inline ToolbarButtonColours ToolbarButtonColoursFor(const ColourScheme& s, bool hot, bool checked) {
    const SystemColours& c = s.system;
    if (!s.highContrast)
        return {hot ? RGB(0, 0, 0) : kDarkBar, false, kDarkBar};
    if (hot)
        return {c.highlight, checked, c.highlightText};
    return {c.buttonFace, checked, c.buttonText};
}

// ---- Content: the list, the memo pad, the filter line, the password panel ----------------------

struct ContentColours {
    COLORREF background;
    COLORREF text;
    COLORREF quietText; // the filter's count of matches
    COLORREF line;      // under the list's column header
    COLORREF dropMark;  // where a dragged row lands
};

inline ContentColours ContentColoursFor(const ColourScheme& s) {
    const SystemColours& c = s.system;
    if (s.highContrast) // grey text is for what cannot be used: nothing here is
        return {c.window, c.windowText, c.windowText, c.windowText, c.highlight};
    return {kContentBackground, RGB(0, 0, 0), RGB(96, 96, 96), RGB(160, 160, 160), RGB(0, 120, 215)};
}

struct RowColours {
    COLORREF text;
    COLORREF background;
};

// A selected row wins over the hover mark, which under high contrast is the theme's colour of
// links: the highlight is the selection's.
inline RowColours RowColoursFor(const ColourScheme& s, bool selected, bool hovered) {
    const SystemColours& c = s.system;
    if (selected)
        return s.highContrast ? RowColours{c.highlightText, c.highlight}
                              : RowColours{RGB(255, 255, 255), RGB(0, 120, 215)};
    if (s.highContrast)
        return {hovered ? c.hotLight : c.windowText, c.window};
    return {RGB(0, 0, 0), hovered ? RGB(217, 235, 249) : kContentBackground};
}

// ---- Window side ----------------------------------------------------------------------------

// High contrast on or off and the system's colours now. Painting asks at each paint, so a
// change of theme shows with the next repaint (the main window repaints everything on
// WM_SETTINGCHANGE and WM_SYSCOLORCHANGE).
ColourScheme CurrentColourScheme();

// A brush of the content's background now: the system's window brush under high contrast,
// else one of kContentBackground made once for the run. Neither may be deleted.
HBRUSH ContentBackgroundBrush();
