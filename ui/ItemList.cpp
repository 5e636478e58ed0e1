// The item list window: creation, the virtual rows and their texts, the row colours, the
// hover highlight and the grey line under the column header.
#include "ui/ItemList.h"

#include "ui/Colours.h"
#include "ui/FilterBox.h"
#include "ui/Ids.h"
#include "ui/ListActions.h"
#include "ui/WinHandles.h"
#include "ui/Windowing.h"

#include <imm.h>
#include <windowsx.h>

#include <cwchar>

ListInteraction g_listInteraction;

namespace {

// What the rows show: the entries given to the last refill, whether they were the history, and
// the filter over them.
struct ListBinding {
    const std::vector<HistoryItem>* items = nullptr;
    bool history = false;
    int historyLimit = -1;
    FilterQuery query;
    FilterIndex folded; // of *items, made when a filter first needs it
    ListRows rows;
};

ListBinding g_binding;

constexpr UINT_PTR kListSubclass = 1;
constexpr UINT_PTR kHeaderSubclass = 2;

constexpr wchar_t kListName[] = L"項目の一覧";

// The colours of the paint under way: asked once per paint, not once per cell.
ColourScheme g_paintScheme;

// ---- Texts ---------------------------------------------------------------------------------

// Cells are copied into the list's own buffer, so no string has to outlive the notification.
void CopyCellText(std::wstring_view text, wchar_t* buffer, int capacity) {
    const size_t count = std::min(text.size(), static_cast<size_t>(capacity - 1));
    if (count > 0)
        wmemcpy(buffer, text.data(), count);
    buffer[count] = L'\0';
}

// ---- Header line ---------------------------------------------------------------------------

void DrawGreyLine(HDC dc, int y, int right) {
    UniquePen pen(CreatePen(PS_SOLID, 1, ContentColoursFor(CurrentColourScheme()).line));
    UniqueSelectObject selected(dc, pen.get());
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, right, y);
}

LRESULT CALLBACK HeaderProc(HWND header, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == WM_NCDESTROY)
        return EndSubclass(header, HeaderProc, kHeaderSubclass, msg, wParam, lParam);
    // The header paints itself first; the line goes over its last row.
    const LRESULT result = DefSubclassProc(header, msg, wParam, lParam);
    if (msg == WM_PAINT) {
        RECT client{};
        GetClientRect(header, &client);
        UniqueWindowDC dc(header);
        if (dc)
            DrawGreyLine(dc.get(), client.bottom - 1, client.right);
    }
    return result;
}

// Both list creation and the list's first paint may get here first; a second call finds the
// subclass in place and changes nothing.
void SubclassHeaderOnce(HWND header) {
    Subclass(header, HeaderProc, kHeaderSubclass);
}

void DrawLineUnderHeader(HWND list) {
    HWND header = ListView_GetHeader(list);
    if (!header || !IsWindowVisible(header))
        return;
    SubclassHeaderOnce(header);

    RECT headerRect{};
    GetWindowRect(header, &headerRect);
    POINT bottom{0, headerRect.bottom};
    ScreenToClient(list, &bottom);
    RECT client{};
    GetClientRect(list, &client);
    UniqueWindowDC dc(list);
    if (dc)
        DrawGreyLine(dc.get(), bottom.y - 1, client.right);
}

// ---- Subclass procedure --------------------------------------------------------------------

LRESULT CallPreviousListProc(HWND list, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(list, msg, wParam, lParam);
}

void RedrawRow(HWND list, int row) {
    if (row >= 0)
        SendMessageW(list, LVM_REDRAWITEMS, static_cast<WPARAM>(row), static_cast<LPARAM>(row));
}

// The drop place of a dragged row, as a line between rows. Drawn here as well as set with
// LVM_SETINSERTMARK: not every list view draws an insertion mark in report view.
void DrawDropMark(HWND list) {
    const ListInteraction& state = g_listInteraction;
    if (!state.dragActive || state.markRow < 0)
        return;
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    if (!SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(state.markRow), reinterpret_cast<LPARAM>(&row)))
        return;
    const int thickness = std::max(2, ScaleToLayout(2));
    const int y = (state.markAfter ? row.bottom : row.top) - thickness / 2;
    RECT client{};
    GetClientRect(list, &client);
    UniqueWindowDC dc(list);
    UniqueBrush brush(CreateSolidBrush(ContentColoursFor(CurrentColourScheme()).dropMark));
    if (!dc || !brush)
        return;
    const RECT line{client.left, y, client.right, y + thickness};
    FillRect(dc.get(), &line, brush.get());
}

LRESULT OnPaint(HWND list, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallPreviousListProc(list, WM_PAINT, wParam, lParam);
    DrawLineUnderHeader(list);
    DrawDropMark(list);
    return result;
}

void TrackHover(HWND list, POINT pt) {
    LVHITTESTINFO hit{};
    hit.pt = pt;
    const int row = static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row != g_listInteraction.hoverRow) {
        const int old = g_listInteraction.hoverRow;
        g_listInteraction.hoverRow = row;
        RedrawRow(list, old);
        RedrawRow(list, row);
    }
    // Asked on every move: the list's own tracking may have used up an earlier request.
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, list, 0};
    TrackMouseEvent(&track);
}

LRESULT OnMouseMove(HWND list, WPARAM wParam, LPARAM lParam) {
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    // While a row is dragged the pointer marks the drop place, not a hovered row.
    if (OnListDragMove(list, point))
        return 0;
    TrackHover(list, point);
    return CallPreviousListProc(list, WM_MOUSEMOVE, wParam, lParam);
}

LRESULT OnMouseLeave(HWND list, WPARAM wParam, LPARAM lParam) {
    ClearDropMark(list);
    if (g_listInteraction.hoverRow != -1) {
        const int old = g_listInteraction.hoverRow;
        g_listInteraction.hoverRow = -1;
        RedrawRow(list, old);
    }
    return CallPreviousListProc(list, WM_MOUSELEAVE, wParam, lParam);
}

// The main loop's dialog navigation would turn Enter into the window's default command;
// the list keeps it, to choose the selected row.
LRESULT OnGetDlgCode(HWND list, WPARAM wParam, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN)
        return DLGC_WANTALLKEYS;
    return CallPreviousListProc(list, WM_GETDLGCODE, wParam, lParam);
}

LRESULT CALLBACK ItemListProc(HWND list, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_NCDESTROY:
        return EndSubclass(list, ItemListProc, kListSubclass, msg, wParam, lParam);
    case WM_GETDLGCODE:
        return OnGetDlgCode(list, wParam, lParam);
    case WM_PAINT:
        return OnPaint(list, wParam, lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(list, wParam, lParam);
    case WM_MOUSELEAVE:
        return OnMouseLeave(list, wParam, lParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return OnListKeyDown(list, wParam) ? 0 : CallPreviousListProc(list, msg, wParam, lParam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return OnListKeyUp(list, wParam) ? 0 : CallPreviousListProc(list, msg, wParam, lParam);
    case WM_CHAR:
        // Digits choose rows; they must not also start the list's incremental search.
        return (wParam >= L'0' && wParam <= L'9') ? 0 : CallPreviousListProc(list, msg, wParam, lParam);
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == list && OnListContextMenu(list, lParam))
            return 0;
        return CallPreviousListProc(list, msg, wParam, lParam);
    case WM_CTLCOLORSTATIC: { // the hint in the empty history
        const ContentColours colours = ContentColoursFor(CurrentColourScheme());
        SetTextColor(reinterpret_cast<HDC>(wParam), colours.quietText);
        SetBkColor(reinterpret_cast<HDC>(wParam), colours.background);
        return reinterpret_cast<LRESULT>(ContentBackgroundBrush());
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_UNLOCK_TAB) {
            OnListUnlockCommand();
            return 0;
        }
        return CallPreviousListProc(list, msg, wParam, lParam);
    case WM_LBUTTONUP:
        return OnListDrop(list) ? 0 : CallPreviousListProc(list, msg, wParam, lParam);
    case WM_MBUTTONDOWN:
        OnListMiddleButton(list, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return CallPreviousListProc(list, msg, wParam, lParam);
    case WM_CAPTURECHANGED:
        CancelRowDrag(list);
        return CallPreviousListProc(list, msg, wParam, lParam);
    default:
        return CallPreviousListProc(list, msg, wParam, lParam);
    }
}

// The client width the list will have once its vertical scroll bar has followed `rows`.
int ClientWidthAfterRefill(HWND list, int rows) {
    RECT client{};
    GetClientRect(list, &client);
    const bool barShown = (GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL) != 0;
    const int rowsPerPage = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    return ClientWidthWithRows(client.right - client.left, barShown, GetSystemMetrics(SM_CXVSCROLL), rows, rowsPerPage);
}

void SetColumnWidths(HWND list, int secondColumnWidth) {
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(FirstColumnWidth(LayoutDpi()), 0));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(secondColumnWidth, 0));
}

void InsertColumn(HWND list, int index, const wchar_t* text, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

// ---- The hint in the empty history ----------------------------------------------------------

// A newcomer's first look at the program is an empty history: it says what will be there and
// how the window comes back. A static child, so that screen readers read it too; clicks pass
// through it to the list.
void ShowEmptyHint(HWND list, bool shown) {
    HWND hint = GetDlgItem(list, CTL_EMPTY_HINT);
    if (!shown) {
        if (hint)
            ShowWindow(hint, SW_HIDE);
        return;
    }
    if (!hint)
        hint =
            CreateWindowExW(0, L"STATIC", kEmptyHistoryHint, WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, list,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(CTL_EMPTY_HINT)), ProgramInstance(), nullptr);
    if (!hint)
        return;
    RECT client{}, header{};
    GetClientRect(list, &client);
    GetWindowRect(ListView_GetHeader(list), &header);
    const int margin = ScaleToLayout(12);
    const int top = (header.bottom - header.top) + margin;
    SendMessageW(hint, WM_SETFONT, SendMessageW(list, WM_GETFONT, 0, 0), FALSE);
    SetWindowPos(hint, nullptr, margin, top, std::max(0, static_cast<int>(client.right) - 2 * margin),
                 std::max(0, static_cast<int>(client.bottom) - top - margin), SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hint, SW_SHOWNA);
}

// Sets the list's rows from the binding: the entries and the filter.
void ShowRows(HWND list) {
    ListBinding& b = g_binding;
    if (!b.items) {
        b.rows = ListRows{};
    } else {
        if (!b.query.Empty() && !b.folded.Built())
            b.folded.Build(*b.items);
        b.rows = RowsToShow(*b.items, b.history, b.historyLimit, b.query, b.folded);
    }
    // Everything happens with redrawing off so that the scroll bars are worked out once, when
    // it comes back on: Wine draws a scroll bar synchronously at every update, which would cost
    // more than the rows themselves.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    // Deleting every row first also drops the selection, the focus mark and the scroll position.
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const int rows = b.rows.Count();
    SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), 0);
    const int dpi = LayoutDpi();
    const int predicted = SecondColumnWidth(ClientWidthAfterRefill(list, rows), dpi);
    SetColumnWidths(list, predicted);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);

    // Column 1 follows the client width that the scroll bar leaves; the guess above is only
    // corrected when it missed.
    RECT client{};
    GetClientRect(list, &client);
    const int actual = SecondColumnWidth(client.right - client.left, dpi);
    if (actual != predicted)
        SetColumnWidths(list, actual);
    InvalidateRect(list, nullptr, TRUE);
    ShowFilterMatchCount(rows, b.rows.Filtered());
    ShowEmptyHint(list, b.history && b.items && ItemListRowCount(*b.items, false, -1) == 0 && b.query.Empty());
}

} // namespace

HWND CreateItemList(HWND parent, HFONT font) {
    RECT client{};
    GetClientRect(parent, &client);
    // Virtual (owner data): the rows are the entries themselves, read when painted.
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDATA;
    CreateAccessibleLabel(parent, kListName);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, kListName, style, 0, 0, client.right, client.bottom, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(CTL_LIST)), ProgramInstance(), nullptr);
    if (!list)
        return nullptr;

    const LPARAM extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(extended), extended);
    ApplyListColours(list);
    if (font)
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    InsertColumn(list, 0, L"再", FirstColumnWidth(LayoutDpi()));
    InsertColumn(list, 1, L"履歴", 300);
    SubclassHeaderOnce(ListView_GetHeader(list));
    Subclass(list, ItemListProc, kListSubclass);
    // Digits choose rows and letters find them: with a Japanese input method on, they would
    // start a composition instead. The filter box, the memo pad and the dialogs keep theirs.
    ImmAssociateContextEx(list, nullptr, 0);
    return list;
}

void ApplyListColours(HWND list) {
    if (!list)
        return;
    // The rows' own colours come from the custom draw; this is the area below the last row.
    SendMessageW(list, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(ContentColoursFor(CurrentColourScheme()).background));
}

void FillItemList(HWND list, const std::vector<HistoryItem>& items, bool history, int historyLimit) {
    if (!list)
        return;
    ListBinding& b = g_binding;
    b.items = &items;
    b.history = history;
    b.historyLimit = historyLimit;
    b.folded.MarkStale(); // the entries may have changed since they were folded
    ShowRows(list);
}

void SetItemListFilter(HWND list, std::wstring_view filter) {
    g_binding.query = FilterQuery(filter);
    if (list)
        ShowRows(list);
}

void EndItemListFilter(HWND list) {
    if (!g_binding.query.Empty())
        SetItemListFilter(list, L"");
    g_binding.folded.Clear();
}

bool ItemListFiltered() {
    return g_binding.rows.Filtered();
}

EntryId ItemListEntryAt(int row) {
    const std::vector<HistoryItem>* items = g_binding.items;
    const int index = g_binding.rows.IndexAt(row);
    if (!items || index < 0 || static_cast<size_t>(index) >= items->size())
        return kNoEntry;
    return (*items)[static_cast<size_t>(index)].id;
}

int ItemListRowOf(EntryId id) {
    const std::vector<HistoryItem>* items = g_binding.items;
    return items && id != kNoEntry ? g_binding.rows.RowOf(FindEntry(*items, id)) : -1;
}

void ClearItemList(HWND list) {
    if (list)
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    // The filter stays for the list's next entries; the folded copies were of these.
    ListBinding& b = g_binding;
    b.items = nullptr;
    b.rows = ListRows{};
    b.folded.MarkStale();
}

LRESULT OnItemListGetDispInfo(NMLVDISPINFOW* info) {
    if (!info)
        return 0;
    LVITEMW& cell = info->item;
    if (!(cell.mask & LVIF_TEXT) || !cell.pszText || cell.cchTextMax <= 0)
        return 0;
    cell.pszText[0] = L'\0';

    // The entries may have changed since the last refill (a row deleted, the history cut):
    // a row past their end stays empty until the next refill.
    const std::vector<HistoryItem>* items = g_binding.items;
    const int index = g_binding.rows.IndexAt(cell.iItem);
    if (!items || index < 0 || static_cast<size_t>(index) >= items->size())
        return 0;
    const HistoryItem& item = (*items)[static_cast<size_t>(index)];
    if (cell.iSubItem == 0)
        CopyCellText(FirstColumnText(item, cell.iItem, g_binding.history), cell.pszText, cell.cchTextMax);
    else if (cell.iSubItem == 1)
        CopyCellText(ItemDisplayTextView(item), cell.pszText, cell.cchTextMax);
    return 0;
}

LRESULT OnItemListFindItem(NMLVFINDITEMW* find) {
    const std::vector<HistoryItem>* items = g_binding.items;
    const LVFINDINFOW& what = find->lvfi;
    if (!items || !(what.flags & (LVFI_STRING | LVFI_PARTIAL)) || !what.psz)
        return -1; // only texts are looked for: an entry has no other key
    return FindRowByTypedText(*items, g_binding.rows, find->iStart, what.psz, (what.flags & LVFI_PARTIAL) != 0,
                              (what.flags & LVFI_WRAP) != 0);
}

LRESULT OnItemListCustomDraw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        g_paintScheme = CurrentColourScheme();
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int row = static_cast<int>(draw->nmcd.dwItemSpec);
        const bool selected =
            (SendMessageW(draw->nmcd.hdr.hwndFrom, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) &
             LVIS_SELECTED) != 0;
        const RowColours colours = RowColoursFor(g_paintScheme, selected, row == g_listInteraction.hoverRow);
        draw->clrText = colours.text;
        draw->clrTextBk = colours.background;
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void SelectListRow(HWND list, int row, bool show) {
    if (!list || row < 0 || row >= ListRowCount(list))
        return;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    if (show)
        SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

int ListRowCount(HWND list) {
    return list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

int SelectedListRow(HWND list) {
    return list ? static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
}
