// The tab strip window: a notifying STATIC whose procedure paints the four tabs, tracks the
// hovered tab, switches tabs on a click and offers the tab's commands on a right click.
#include "tabs/TabStrip.h"

#include "tabs/TabContext.h"
#include "ui/WinHandles.h"
#include "ui/Windowing.h"

#include <windowsx.h>

namespace {

constexpr UINT_PTR kStripSubclass = 1;

// View state of the one strip; the tabs' names and lock states come from the tabs themselves.
struct TabStripState {
    HWND window = nullptr;
    std::array<RECT, kTabCount> rects = TabRectangles(0, kTabStripHeight);
    TabVisuals visuals = SelectedOnly(0);
    int hovered = -1;
    bool trackingLeave = false; // a WM_MOUSELEAVE has been requested and not yet delivered
    HFONT font = nullptr;
};

TabStripState g_strip;
TabStripCalls g_calls;

void Call(const std::function<void(int)>& call, int tab) {
    if (call)
        call(tab);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    // The DC brush needs no object per fill.
    SetDCBrushColor(dc, colour);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Repaint(HWND strip) {
    InvalidateRect(strip, nullptr, TRUE);
    UpdateWindow(strip);
}

POINT PointFromLParam(LPARAM lParam) {
    // GET_X_LPARAM, not LOWORD: screen points left of or above the primary monitor are negative.
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

void PaintTabStrip(HDC dc, const RECT& client) {
    FillSolid(dc, client, kStripBackground);
    UniqueSelectObject font(dc, g_strip.font);
    SetBkMode(dc, TRANSPARENT);

    for (int k = 0; k < kTabCount; ++k) {
        const RECT& tab = g_strip.rects[k];
        const TabColours colours = ColoursForTab(g_strip.visuals[k]);
        FillSolid(dc, tab, colours.background);
        SetTextColor(dc, colours.text);

        RECT textRect = TabTextRect(tab);
        const std::wstring shown =
            FitTextWithEllipsis(dc, TabCaption(State().tabs[k]), static_cast<int>(textRect.right - textRect.left));
        DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &textRect, DT_SINGLELINE | DT_CENTER | DT_VCENTER);

        if (colours.markBar)
            FillSolid(dc, TabMarkBar(tab, client.bottom - client.top), kStripMark);
    }
}

LRESULT OnPaint(HWND strip) {
    UniquePaintDC paint(strip);
    if (paint) {
        RECT client{};
        GetClientRect(strip, &client);
        PaintTabStrip(paint.get(), client);
    }
    return 0;
}

LRESULT OnPrintClient(HWND strip, HDC dc) {
    RECT client{};
    GetClientRect(strip, &client);
    PaintTabStrip(dc, client);
    return 0;
}

LRESULT OnSetFont(HWND strip, HFONT font) {
    g_strip.font = font;
    Repaint(strip);
    return 0;
}

LRESULT OnMouseMove(HWND strip, POINT pt) {
    if (!g_strip.trackingLeave) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, strip, 0};
        g_strip.trackingLeave = TrackMouseEvent(&track) != FALSE;
    }
    // Moving within one tab repaints nothing.
    if (MoveTabHover(g_strip.visuals, g_strip.hovered, TabAtPoint(g_strip.rects, pt)))
        Repaint(strip);
    return 0;
}

LRESULT OnMouseLeave(HWND strip) {
    g_strip.trackingLeave = false;
    MoveTabHover(g_strip.visuals, g_strip.hovered, -1);
    Repaint(strip);
    return 0;
}

LRESULT OnLButtonDown(HWND, POINT pt) {
    const int tab = TabAtPoint(g_strip.rects, pt);
    if (tab < 0)
        return 0;
    // A click on the tab already in view runs the same steps: it refreshes the view.
    Call(g_calls.switchTo, tab);
    return 0;
}

void RunTabMenuCommand(UINT command, int tab, HWND strip) {
    switch (command) {
    case CMD_ENCRYPT_TAB:
        Call(g_calls.beginSeal, tab);
        break;
    case CMD_RELOCK_TAB:
        Call(g_calls.relock, tab);
        break;
    case CMD_TAB_SETTINGS:
        if (g_calls.openSettings)
            g_calls.openSettings(tab, strip);
        break;
    default: // dismissed
        break;
    }
}

// Returns false when the point is on no tab (the menu key sends (-1, -1)); the message then
// goes to the previous procedure.
bool OnContextMenu(HWND strip, POINT screenPt) {
    POINT pt = screenPt;
    ScreenToClient(strip, &pt);
    const int tab = TabAtPoint(g_strip.rects, pt);
    if (tab < 0)
        return false;

    UniqueMenu menu(CreatePopupMenu());
    if (!menu)
        return true;
    for (const TabMenuEntry& entry : TabMenuEntries(tab, State().tabs[tab]))
        AppendMenuW(menu.get(), MF_STRING | (entry.grayed ? MF_GRAYED : 0u), entry.id, entry.text);
    const UINT command = TrackOwnPopupMenu(menu.get(), screenPt, strip);
    menu.reset();
    RunTabMenuCommand(command, tab, strip);
    return true;
}

LRESULT CALLBACK TabStripProc(HWND strip, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_NCDESTROY:
        g_strip.window = nullptr;
        return EndSubclass(strip, TabStripProc, kStripSubclass, msg, wParam, lParam);
    case WM_PAINT:
        return OnPaint(strip);
    case WM_PRINTCLIENT:
        return OnPrintClient(strip, reinterpret_cast<HDC>(wParam));
    case WM_ERASEBKGND:
        return 1; // the painting covers every pixel
    case WM_SETFONT:
        return OnSetFont(strip, reinterpret_cast<HFONT>(wParam));
    case WM_MOUSEMOVE:
        return OnMouseMove(strip, PointFromLParam(lParam));
    case WM_MOUSELEAVE:
        return OnMouseLeave(strip);
    case WM_LBUTTONDOWN:
        return OnLButtonDown(strip, PointFromLParam(lParam));
    case WM_CONTEXTMENU:
        if (OnContextMenu(strip, PointFromLParam(lParam)))
            return 0;
        break;
    default:
        break;
    }
    return DefSubclassProc(strip, msg, wParam, lParam);
}

} // namespace

void InitTabStrip(const TabStripCalls& calls) {
    g_calls = calls;
}

std::wstring FitTextWithEllipsis(HDC dc, std::wstring_view text, int width) {
    const auto measure = [dc](std::wstring_view candidate) {
        SIZE size{};
        // A failed measurement counts as fitting: DrawTextW then clips the text itself.
        if (!GetTextExtentPoint32W(dc, candidate.data(), static_cast<int>(candidate.size()), &size))
            return 0;
        return static_cast<int>(size.cx);
    };
    return FitTextWithEllipsis(measure, text, width);
}

HWND CreateTabStrip(HWND parent, int y, int width, HFONT font) {
    HWND strip =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, y, width, 24, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(CTL_TAB_STRIP)), ProgramInstance(), nullptr);
    g_strip.window = strip;
    if (!strip)
        return nullptr;
    g_strip.rects = TabRectangles(width, TabStripHeight(LayoutDpi()));
    Subclass(strip, TabStripProc, kStripSubclass);
    SendMessageW(strip, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    Repaint(strip);
    return strip;
}

HWND TabStripWindow() {
    return g_strip.window;
}

void ForgetTabStripFont() {
    g_strip.font = nullptr;
}

void SelectTabInStrip(int t) {
    g_strip.visuals = SelectedOnly(t);
    if (g_strip.window)
        Repaint(g_strip.window);
}

void LayoutTabStrip(int width, int height) {
    g_strip.rects = TabRectangles(width, height);
}
