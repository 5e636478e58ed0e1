// The tab strip window: a tab control that keeps the four tabs' captions and the selection for
// screen readers, and whose subclass procedure does everything else: it paints the four tabs,
// tracks the hovered tab, switches tabs on a click and offers the tab's commands on a right
// click. Mouse and keys never reach the control's own procedure, so it neither draws nor
// changes its selection by itself.
#include "tabs/TabStrip.h"

#include "tabs/TabContext.h"
#include "ui/WinHandles.h"
#include "ui/Windowing.h"

#include <commctrl.h>
#include <windowsx.h>

namespace {

constexpr UINT_PTR kStripSubclass = 1;
constexpr wchar_t kStripName[] = L"タブ";

// View state of the one strip; the tabs' names and lock states come from the tabs themselves.
struct TabStripState {
    HWND window = nullptr;
    std::array<RECT, kTabCount> rects = TabRectangles(0, kTabStripHeight);
    TabVisuals visuals = SelectedOnly(0);
    int hovered = -1;
    bool trackingLeave = false; // a WM_MOUSELEAVE has been requested and not yet delivered
    HFONT font = nullptr;
    std::array<std::wstring, kTabCount> captions; // as the control's items hold them
    bool selecting = false; // the strip sets the control's selection itself: no request from outside
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

// ---- What screen readers read: the control's items ---------------------------------------------

// The items' texts follow the tabs' names and lock marks; a changed one is announced.
void SyncCaptions(HWND strip) {
    for (int k = 0; k < kTabCount; ++k) {
        std::wstring caption = TabCaption(State().tabs[k]);
        if (caption == g_strip.captions[k])
            continue;
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(strip, TCM_SETITEMW, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(&item));
        g_strip.captions[k] = std::move(caption);
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, strip, OBJID_CLIENT, k + 1);
    }
}

void SelectInControl(HWND strip, int t) {
    if (SendMessageW(strip, TCM_GETCURSEL, 0, 0) == t)
        return;
    g_strip.selecting = true;
    SendMessageW(strip, TCM_SETCURSEL, static_cast<WPARAM>(t), 0);
    g_strip.selecting = false;
    NotifyWinEvent(EVENT_OBJECT_SELECTION, strip, OBJID_CLIENT, t + 1);
}

// Another program (a screen reader, UI Automation) selects a tab: the program switches to it as
// a click would. Answers as the control would have.
LRESULT OnSelectionFromOutside(HWND strip, UINT msg, WPARAM wParam) {
    const LRESULT previous = SendMessageW(strip, TCM_GETCURSEL, 0, 0);
    const int tab = static_cast<int>(wParam);
    if (wParam >= static_cast<WPARAM>(kTabCount))
        return msg == TCM_SETCURSEL ? -1 : 0;
    Call(g_calls.switchTo, tab);
    return msg == TCM_SETCURSEL ? previous : 0;
}

// The tabs' places are the painted ones, not those the control would work out from its font.
LRESULT OnGetItemRect(WPARAM index, LPARAM lParam) {
    auto* rect = reinterpret_cast<RECT*>(lParam);
    if (!rect || index >= static_cast<WPARAM>(kTabCount))
        return FALSE;
    *rect = g_strip.rects[index];
    return TRUE;
}

LRESULT OnHitTest(LPARAM lParam) {
    auto* hit = reinterpret_cast<TCHITTESTINFO*>(lParam);
    if (!hit)
        return -1;
    const int tab = TabAtPoint(g_strip.rects, hit->pt);
    hit->flags = tab < 0 ? TCHT_NOWHERE : TCHT_ONITEM;
    return tab;
}

// ---- Painting ----------------------------------------------------------------------------------

void PaintTabStrip(HDC dc, const RECT& client) {
    const ColourScheme scheme = CurrentColourScheme();
    FillSolid(dc, client, StripBackground(scheme));
    UniqueSelectObject font(dc, g_strip.font);
    SetBkMode(dc, TRANSPARENT);

    for (int k = 0; k < kTabCount; ++k) {
        const RECT& tab = g_strip.rects[k];
        const TabColours colours = ColoursForTab(scheme, g_strip.visuals[k]);
        FillSolid(dc, tab, colours.background);
        SetTextColor(dc, colours.text);

        RECT textRect = TabTextRect(tab);
        const std::wstring shown =
            FitTextWithEllipsis(dc, TabCaption(State().tabs[k]), static_cast<int>(textRect.right - textRect.left));
        DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &textRect, DT_SINGLELINE | DT_CENTER | DT_VCENTER);

        if (colours.markBar)
            FillSolid(dc, TabMarkBar(tab, client.bottom - client.top), colours.mark);
        if (g_strip.visuals[k] == TabVisual::Selected && g_strip.window &&
            StripShowsFocus(GetFocus() == g_strip.window, SendMessageW(g_strip.window, WM_QUERYUISTATE, 0, 0))) {
            RECT focus = tab;
            InflateRect(&focus, -2, -2);
            DrawFocusRect(dc, &focus);
        }
    }
}

LRESULT OnPaint(HWND strip) {
    SyncCaptions(strip); // a rename or a seal repaints the strip: the items follow first
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
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: // the focus rectangle comes or goes
        InvalidateRect(strip, nullptr, FALSE);
        break;
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
        return DefWindowProcW(strip, msg, wParam, lParam);
    case WM_NCHITTEST:
        // The control counts only its own idea of the tabs as its window and lets a click
        // elsewhere through to the window below; every point of the strip is a tab here.
        return DefWindowProcW(strip, msg, wParam, lParam);
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        // Not the control's: it would select and notify by itself. The right button's release
        // still becomes WM_CONTEXTMENU.
        return DefWindowProcW(strip, msg, wParam, lParam);
    case TCM_SETCURSEL:
    case TCM_SETCURFOCUS:
        if (!g_strip.selecting)
            return OnSelectionFromOutside(strip, msg, wParam);
        break;
    case TCM_GETITEMRECT:
        return OnGetItemRect(wParam, lParam);
    case TCM_HITTEST:
        return OnHitTest(lParam);
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
    const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TAB_CLASSES};
    InitCommonControlsEx(&classes); // registers the tab control's class, once is enough
    CreateAccessibleLabel(parent, kStripName);
    // Several rows rather than scroll arrows when the control's own idea of the tabs' widths is
    // too wide: it never shows a child window of its own over the painting.
    HWND strip =
        CreateWindowExW(0, WC_TABCONTROLW, kStripName, WS_CHILD | WS_VISIBLE | TCS_MULTILINE, 0, y, width, 24, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(CTL_TAB_STRIP)), ProgramInstance(), nullptr);
    g_strip.window = strip;
    if (!strip)
        return nullptr;
    g_strip.rects = TabRectangles(width, TabStripHeight(LayoutDpi()));
    for (int k = 0; k < kTabCount; ++k) {
        g_strip.captions[k] = TabCaption(State().tabs[k]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = g_strip.captions[k].data();
        SendMessageW(strip, TCM_INSERTITEMW, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(&item));
    }
    SelectInControl(strip, 0);
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
    if (!g_strip.window)
        return;
    SyncCaptions(g_strip.window);
    if (t >= 0 && t < kTabCount)
        SelectInControl(g_strip.window, t);
    Repaint(g_strip.window);
}

void LayoutTabStrip(int width, int height) {
    g_strip.rects = TabRectangles(width, height);
}
