#include "app/Layout.h"

#include "app/App.h"
#include "storage/TextFile.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"
#include "ui/Colours.h"
#include "ui/FilterBox.h"
#include "ui/ItemList.h"
#include "ui/Ids.h"
#include "ui/WinHandles.h"
#include "ui/Windowing.h"

#include <commctrl.h>

#include <algorithm>

const wchar_t* const kToolbarIconFiles[IMG_COUNT] = {
    L"top_on.ico",    L"top_off.ico",      L"pin_on.ico",        L"pin_off.ico",  L"pause_on.ico",
    L"pause_off.ico", L"move_top_on.ico",  L"move_top_off.ico",  L"clearall.ico", L"template.ico",
    L"settings.ico",  L"autopaste_on.ico", L"autopaste_off.ico", L"queue_on.ico", L"queue_off.ico"};

namespace {

constexpr wchar_t kToolbarName[] = L"ツールバー";

int g_imageSize = 32; // S: icon and button size at the toolbar's dpi
HWND g_toolbar = nullptr;
UniqueImageList g_images;   // the toolbar's icons; it only borrows them
ColourScheme g_paintScheme; // of the paint under way

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    // ExtTextOut with ETO_OPAQUE fills without creating a brush.
    const COLORREF old = SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

// A frame `thickness` pixels wide just inside `rect`.
void FrameSolid(HDC dc, const RECT& rect, int thickness, COLORREF colour) {
    const RECT edges[] = {{rect.left, rect.top, rect.right, rect.top + thickness},
                          {rect.left, rect.bottom - thickness, rect.right, rect.bottom},
                          {rect.left, rect.top, rect.left + thickness, rect.bottom},
                          {rect.right - thickness, rect.top, rect.right, rect.bottom}};
    for (const RECT& edge : edges)
        FillSolid(dc, edge, colour);
}

} // namespace

int ToggleImage(int command, bool on) {
    switch (command) {
    case CMD_ALWAYS_ON_TOP:
        return on ? IMG_TOP_ON : IMG_TOP_OFF;
    case CMD_STAY_VISIBLE:
        return on ? IMG_PIN_ON : IMG_PIN_OFF;
    case CMD_PAUSE_HISTORY:
        return on ? IMG_PAUSE_ON : IMG_PAUSE_OFF;
    case CMD_MOVE_TO_TOP:
        return on ? IMG_MOVE_TOP_ON : IMG_MOVE_TOP_OFF;
    case CMD_AUTO_PASTE:
        return on ? IMG_AUTO_PASTE_ON : IMG_AUTO_PASTE_OFF;
    default:
        return -1;
    }
}

int ToolbarGapWidth(int clientWidth, const RECT& beforeGap, const RECT& firstAfter, const RECT& lastAfter) {
    const int gap = clientWidth + firstAfter.left - beforeGap.right - lastAfter.right;
    return gap >= 2 ? gap : 0;
}

namespace {

// The 15 icons of the img folder at size x size pixels, in a new image list.
HIMAGELIST LoadToolbarImages(int size) {
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 16, 0);
    const std::wstring folder = GetAppDirectory() + L"\\img\\";
    for (const wchar_t* file : kToolbarIconFiles) {
        const std::wstring path = folder + file;
        HICON icon = static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
        const bool loaded = icon != nullptr;
        if (!loaded)
            icon = LoadIconW(nullptr, IDI_APPLICATION); // a shared icon: never destroyed
        ImageList_ReplaceIcon(images, -1, icon);
        if (loaded)
            DestroyIcon(icon);
    }
    return images;
}

// Icons drawn at 32 pixels and buttons spaced 4 apart at 96 dpi, scaled to `dpi`.
void SizeToolbar(HWND toolbar, int dpi) {
    g_imageSize = MulDiv(32, dpi, 96);
    UniqueImageList images(LoadToolbarImages(g_imageSize));
    SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images.get()));
    g_images = std::move(images); // the old icons go once the toolbar has the new ones
    // Padding and bitmap size before the button size, which the toolbar derives from them.
    SendMessageW(toolbar, TB_SETPADDING, 0, MAKELPARAM(MulDiv(4, dpi, 96), 0));
    SendMessageW(toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(g_imageSize, g_imageSize));
    SendMessageW(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(g_imageSize, g_imageSize));
    SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
}

} // namespace

namespace {

// A toggle is a check button, checked while its option is on: screen readers tell its state.
// Its name is its tooltip, which the toolbar's tooltip control asks the main window for.
TBBUTTON ToggleButton(int command, bool on) {
    const BYTE state = static_cast<BYTE>(TBSTATE_ENABLED | (on ? TBSTATE_CHECKED : 0));
    return TBBUTTON{ToggleImage(command, on), command, state, BTNS_AUTOSIZE | BTNS_CHECK, {}, 0, 0};
}

} // namespace

HWND CreateToolbar(HWND mainWindow) {
    CreateAccessibleLabel(mainWindow, kToolbarName);
    HWND toolbar = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, kToolbarName, WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS, 0, 0, 0, 0,
        mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(CTL_TOOLBAR)), ProgramInstance(), nullptr);
    if (!toolbar)
        return nullptr;

    const BYTE autosize = BTNS_AUTOSIZE;
    const AppState& data = AppData();
    TBBUTTON buttons[] = {
        ToggleButton(CMD_ALWAYS_ON_TOP, data.AlwaysOnTop),
        ToggleButton(CMD_STAY_VISIBLE, data.StayVisible),
        ToggleButton(CMD_PAUSE_HISTORY, data.PauseHistory),
        ToggleButton(CMD_MOVE_TO_TOP, data.MoveToTopOnCopy),
        ToggleButton(CMD_AUTO_PASTE, data.AutoPaste),
        {IMG_CLEAR_ALL, CMD_CLEAR_HISTORY, TBSTATE_ENABLED, autosize, {}, 0, 0},
        {0, CMD_TOOLBAR_GAP, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
        {IMG_BACKUP, CMD_BACKUP, TBSTATE_ENABLED, autosize, {}, 0, 0},
        {IMG_SETTINGS, CMD_SETTINGS, TBSTATE_ENABLED, autosize, {}, 0, 0},
    };
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar, TB_ADDBUTTONSW, static_cast<WPARAM>(std::size(buttons)), reinterpret_cast<LPARAM>(buttons));
    SizeToolbar(toolbar, LayoutDpi());

    if (HWND tips = reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0))) {
        SendMessageW(tips, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(1000, 0));
        SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, 300);
    }
    g_toolbar = toolbar;
    return toolbar;
}

void RescaleToolbar(int dpi) {
    if (g_toolbar)
        SizeToolbar(g_toolbar, dpi);
}

void UpdateToggleImage(int command, bool on) {
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_IMAGE;
    info.iImage = ToggleImage(command, on);
    SendMessageW(g_toolbar, TB_SETBUTTONINFOW, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&info));
    // A click has checked or unchecked the button itself already; F1 to F5 have not.
    SendMessageW(g_toolbar, TB_CHECKBUTTON, static_cast<WPARAM>(command), MAKELPARAM(on ? TRUE : FALSE, 0));
}

LRESULT OnToolbarCustomDraw(NMCUSTOMDRAW* draw) {
    switch (draw->dwDrawStage) {
    case CDDS_PREPAINT: {
        g_paintScheme = CurrentColourScheme();
        RECT client;
        GetClientRect(draw->hdr.hwndFrom, &client);
        FillSolid(draw->hdc, client, ToolbarBackground(g_paintScheme));
        return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    }
    case CDDS_POSTPAINT: {
        // Some toolbars draw a flat separator's etched line without asking: cover it.
        RECT gap;
        if (SendMessageW(draw->hdr.hwndFrom, TB_GETITEMRECT, 6, reinterpret_cast<LPARAM>(&gap))) {
            gap.left -= 1;
            FillSolid(draw->hdc, gap, ToolbarBackground(g_paintScheme));
        }
        return CDRF_DODEFAULT;
    }
    case CDDS_ITEMPREPAINT: {
        RECT item = draw->rc;
        if (draw->dwItemSpec == CMD_TOOLBAR_GAP) {
            item.left -= 1; // the separator's own line sits just left of its rectangle
            FillSolid(draw->hdc, item, ToolbarBackground(g_paintScheme));
            return CDRF_SKIPDEFAULT;
        }
        const ToolbarButtonColours colours = ToolbarButtonColoursFor(g_paintScheme, (draw->uItemState & CDIS_HOT) != 0,
                                                                     (draw->uItemState & CDIS_CHECKED) != 0);
        FillSolid(draw->hdc, item, colours.background);
        if (colours.frame)
            FrameSolid(draw->hdc, item, std::max(1, g_imageSize / 16), colours.frameColour);
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_IMAGE;
        SendMessageW(draw->hdr.hwndFrom, TB_GETBUTTONINFOW, draw->dwItemSpec, reinterpret_cast<LPARAM>(&info));
        HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(draw->hdr.hwndFrom, TB_GETIMAGELIST, 0, 0));
        const int x = item.left + (item.right - item.left - g_imageSize) / 2;
        const int y = item.top + (item.bottom - item.top - g_imageSize) / 2;
        ImageList_Draw(images, info.iImage, draw->hdc, x, y, ILD_NORMAL);
        return CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

int ToolbarHeight() {
    if (!g_toolbar)
        return 0;
    RECT rect;
    GetWindowRect(g_toolbar, &rect);
    return rect.bottom - rect.top;
}

namespace {

void StretchToolbarGap(int clientWidth) {
    HWND toolbar = g_toolbar;
    RECT beforeGap, firstAfter, lastAfter;
    if (!SendMessageW(toolbar, TB_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&beforeGap)))
        return;
    SendMessageW(toolbar, TB_GETITEMRECT, 7, reinterpret_cast<LPARAM>(&firstAfter));
    SendMessageW(toolbar, TB_GETITEMRECT, 8, reinterpret_cast<LPARAM>(&lastAfter));
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_SIZE | TBIF_BYINDEX;
    info.cx = static_cast<WORD>(ToolbarGapWidth(clientWidth, beforeGap, firstAfter, lastAfter));
    SendMessageW(toolbar, TB_SETBUTTONINFOW, 6, reinterpret_cast<LPARAM>(&info));
    SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
}

} // namespace

void LayoutMainWindow(HWND mainWindow) {
    RECT client;
    GetClientRect(mainWindow, &client);
    const int width = client.right;
    const int height = client.bottom;

    if (g_toolbar) {
        const int toolbarHeight = ToolbarHeight();
        SetWindowPos(g_toolbar, nullptr, 0, 0, width, toolbarHeight, SWP_NOZORDER | SWP_SHOWWINDOW);
        StretchToolbarGap(width);
    }
    const int top = ToolbarHeight();

    const int stripHeight = TabStripHeight(LayoutDpi());
    if (TabStripWindow()) {
        SetWindowPos(TabStripWindow(), nullptr, 0, top, width, stripHeight, SWP_NOZORDER | SWP_SHOWWINDOW);
        LayoutTabStrip(width, stripHeight);
    }

    // The filter line, while open, sits over the list.
    int contentTop = top + stripHeight;
    if (FilterBoxOpen()) {
        const int filterHeight = FilterBarHeight();
        PlaceFilterBar(0, contentTop, width, filterHeight);
        contentTop += filterHeight;
    }

    // The list and the memo pad share the content area; which of them shows is ShowTab's to say.
    const int contentHeight = height > contentTop ? height - contentTop : 0;
    for (HWND content : {ListWindow(), ViewWindows().memoPad})
        if (content)
            SetWindowPos(content, nullptr, 0, contentTop, width, contentHeight, SWP_NOZORDER | SWP_NOACTIVATE);

    if (ViewWindows().password && ViewWindows().panelLabel)
        LayoutPasswordPanel(mainWindow, width, height, top);

    for (HWND child : {g_toolbar, TabStripWindow(), ListWindow()})
        if (child)
            InvalidateRect(child, nullptr, TRUE);
    if (ViewWindows().memoPad && IsWindowVisible(ViewWindows().memoPad))
        InvalidateRect(ViewWindows().memoPad, nullptr, TRUE);
    InvalidateRect(mainWindow, nullptr, TRUE);
}

void DestroyToolbarImages() {
    if (g_toolbar)
        SendMessageW(g_toolbar, TB_SETIMAGELIST, 0, 0);
    g_images.reset();
}

void ApplySystemColours(HWND mainWindow) {
    // Common controls keep system colours of their own: Windows tells only top-level windows.
    for (HWND control : {g_toolbar, ListWindow(), TabStripWindow()})
        if (control)
            SendMessageW(control, WM_SYSCOLORCHANGE, 0, 0);
    ApplyListColours(ListWindow());
    RedrawWindow(mainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}
