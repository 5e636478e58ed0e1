#include "ui/ListActions.h"

#include "core/EntryEdits.h"
#include "storage/SlotFile.h"
#include "storage/TextFile.h"
#include "ui/FilterBox.h"
#include "ui/Ids.h"
#include "ui/ItemEditDialog.h"
#include "ui/ItemList.h"
#include "ui/Keys.h"
#include "ui/WinHandles.h"
#include "ui/Windowing.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

ListHost g_host;

AppState& State() {
    return *g_host.state;
}

ViewState& View() {
    return *g_host.view;
}

constexpr int kDragScrollZone = 15;

std::vector<HistoryItem>& History() {
    return State().tabs[kHistoryTab].items;
}

std::vector<HistoryItem>& InView() {
    return ItemsInView(State().tabs, View());
}

// The list shows the entries in view again.
void Refill(HWND list) {
    FillItemList(list, InView(), View().historyShown, State().HistoryLimit);
}

bool CtrlDown() {
    return GetKeyState(VK_CONTROL) < 0;
}

bool ValidRow(const std::vector<HistoryItem>& items, int row) {
    return row >= 0 && static_cast<size_t>(row) < items.size();
}

// Rows and entries: a row shows the entry the list says (a filter leaves out entries, so row
// and place differ); what outlives a nested message loop (a menu, a dialog, a question) or the
// time between two key presses is the entry's id, its row looked up again when it acts.
EntryId EntryAtRow(int row) {
    return ItemListEntryAt(row);
}

int RowOfEntry(EntryId id) {
    return ItemListRowOf(id);
}

// Selects and shows `row`, or the last row when it lies beyond the end.
void SelectNearRow(HWND list, int row, bool show = true) {
    const int rows = ListRowCount(list);
    SelectListRow(list, row < rows ? row : rows - 1, show);
}

// Selects the entry's row; an entry no row shows (beyond HistoryLimit) selects the last row.
void SelectEntry(HWND list, EntryId id, bool show = true) {
    const int row = RowOfEntry(id);
    SelectNearRow(list, row >= 0 ? row : ListRowCount(list), show);
}

int HitRow(HWND list, POINT clientPoint) {
    LVHITTESTINFO hit{};
    hit.pt = clientPoint;
    return static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

// ---- Entry operations ------------------------------------------------------------------------

bool DeleteHistoryEntry(HWND list, EntryId id) {
    const int row = RowOfEntry(id);
    if (!RemoveItem(History(), FindEntry(History(), id), true))
        return false;
    if (ItemListFiltered() || row < 0) {
        Refill(list); // the matching entries are looked for again
    } else {
        // The rows stay where they are: with more entries than HistoryLimit shows, the next
        // one moves up into the last row.
        SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
        const int rows = ItemListRowCount(History(), true, State().HistoryLimit);
        if (ListRowCount(list) != rows)
            SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), LVSICF_NOSCROLL);
        InvalidateRect(list, nullptr, TRUE);
    }
    g_host.saveTab(kHistoryTab);
    return true;
}

// The key and the menu delete the selected entry: the one after it takes the selection, so
// that Delete pressed again goes on down the list.
void DeleteSelectedHistoryEntry(HWND list, EntryId id) {
    const int row = RowOfEntry(id);
    if (DeleteHistoryEntry(list, id) && row >= 0)
        SelectListRow(list, std::min(row, ListRowCount(list) - 1), false);
}

void ToggleLockAndShow(HWND list, EntryId id) {
    const int index = FindEntry(History(), id);
    if (index < 0)
        return;
    ToggleEntryLock(History(), index);
    Refill(list);
    SelectEntry(list, id);
    g_host.saveTab(kHistoryTab);
}

void MoveHistoryEntry(HWND list, int from, int to) {
    if (!MoveHistoryItem(History(), from, to))
        return;
    g_host.saveTab(kHistoryTab);
    Refill(list);
    SelectListRow(list, to);
}

void MoveTemplateEntry(HWND list, int from, int to) {
    const int t = CurrentTemplateTab();
    if (t < 0)
        return;
    std::vector<HistoryItem>& items = State().tabs[t].items;
    const bool moved = MoveItem(items, from, to);
    Refill(list);
    if (moved)
        SaveTabItems();
    SelectListRow(list, to);
}

// Opens the item edit dialog on the entry; request.entry names the edited entry afterwards.
INT_PTR EditEntry(HWND owner, EntryId id, ItemEditRequest& request) {
    request.tab = TabInView(View());
    request.slot = &State().tabs[request.tab];
    request.entry = id;
    request.font = g_host.font ? g_host.font() : nullptr;
    if (request.slot->tempUnlocked)
        request.copySecret = g_host.copySecret;
    return OpenItemEditDialog(owner, request);
}

// Ctrl+E and the menu's "編集": the entry is written back whatever the dialog's result.
void EditAndSave(HWND list, HWND owner, EntryId id, bool show) {
    ItemEditRequest request;
    EditEntry(owner, id, request);
    Refill(list);
    g_host.saveTab(request.tab);
    SelectListRow(list, RowOfEntry(request.entry), show);
    SetFocus(list);
}

// "新規登録" and Ctrl+N: an empty entry at `at` filled in the dialog; cancelled, it goes again.
void NewTemplateEntry(HWND list, int at, bool show) {
    const int t = CurrentTemplateTab();
    std::vector<HistoryItem>& items = State().tabs[t].items;
    if (at < 0 || static_cast<size_t>(at) > items.size())
        at = 0;
    const EntryId fresh = items.insert(items.begin() + at, HistoryItem{})->id;
    ItemEditRequest request;
    if (EditEntry(list, fresh, request) == IDOK) {
        Refill(list);
        SaveTabItems();
        SelectListRow(list, FindEntry(items, request.entry), show);
    } else {
        const int row = FindEntry(items, fresh);
        if (row >= 0)
            items.erase(items.begin() + row);
        Refill(list);
    }
    SetFocus(list);
}

// Deletes a template entry after asking; the selection stays on the same place.
void DeleteTemplateEntry(HWND list, EntryId id, bool fromMenu) {
    const int t = CurrentTemplateTab();
    std::vector<HistoryItem>& items = State().tabs[t].items;
    if (FindEntry(items, id) < 0)
        return;
    const int shownRow = RowOfEntry(id);
    const bool confirmed =
        fromMenu ? MessageBoxW(list, L"この定型文を削除します。よろしいですか？", L"定型文の削除確認",
                               MB_YESNO | MB_ICONWARNING) == IDYES
                 : MessageBoxW(list, L"選択した定型文を削除しますか？", L"確認", MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
    const int index = FindEntry(items, id);
    if (confirmed && index >= 0) {
        RemoveItem(items, index, false);
        SaveTabItems();
        if (fromMenu)
            Refill(list);
        else
            g_host.showTab(View().currentTab);
        SelectNearRow(list, std::max(shownRow, 0));
    }
    SetFocus(list);
}

void OpenInExternalEditor(HWND list) {
    const std::wstring path = DataFilePath(State().tabs[CurrentTemplateTab()].fileName);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = list;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info); // no editor for the file: nothing to say beyond what the shell shows
}

void ReloadTemplateTab() {
    const int t = CurrentTemplateTab();
    LoadSlot(State().tabs[t], State().MaxHistory); // the file as it is now becomes the tab's
    // The file may have been sealed or changed kind-wise in the meantime: the tab is put on
    // screen again as a whole (list, memo pad or password panel).
    g_host.showTab(t);
}

// ---- Keys ----------------------------------------------------------------------------------

int DigitOf(WPARAM key) {
    if (key >= '0' && key <= '9')
        return static_cast<int>(key - '0');
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return static_cast<int>(key - VK_NUMPAD0);
    return -1;
}

void ResetTypedNumber() {
    g_listInteraction.typedNumber = 0;
    g_listInteraction.pendingEntry = kNoEntry;
}

void OnDigit(HWND list, int digit, bool ctrl) {
    ListInteraction& state = g_listInteraction;
    if (ctrl) {
        // A long run of digits names no row long before it could overflow.
        state.typedNumber = state.typedNumber * 10 + digit;
        const int row = state.typedNumber - 1;
        if (row >= 0 && row < ListRowCount(list)) {
            SelectListRow(list, row);
            state.pendingEntry = EntryAtRow(row);
        } else {
            ResetTypedNumber();
        }
        return;
    }
    ResetTypedNumber();
    if (digit >= 1 && digit - 1 < ListRowCount(list)) {
        SelectListRow(list, digit - 1);
        ChooseRow(digit - 1); // as Enter chooses: a memo list opens the entry
    }
}

bool HistoryKey(HWND list, WPARAM key, int row, bool ctrl) {
    if (row < 0)
        return false;
    if (ctrl && key == 'L') {
        ToggleLockAndShow(list, EntryAtRow(row));
        return true;
    }
    if (ctrl && (key == VK_UP || key == VK_DOWN)) {
        if (ItemListFiltered())
            return true; // an order among the matching rows means nothing
        const int target = key == VK_UP ? row - 1 : row + 1;
        if (!ValidRow(History(), target))
            return false;
        MoveHistoryEntry(list, row, target);
        return true;
    }
    if (key == VK_DELETE) {
        DeleteSelectedHistoryEntry(list, EntryAtRow(row));
        return true;
    }
    if (ctrl && key == 'E') {
        EditAndSave(list, GetParent(list), EntryAtRow(row), false);
        return true;
    }
    return false;
}

bool TemplateKey(HWND list, WPARAM key, int row, bool ctrl) {
    const int t = CurrentTemplateTab();
    if (t < 0)
        return false;
    if (ctrl && key == 'N') {
        NewTemplateEntry(list, std::max(FindEntry(State().tabs[t].items, EntryAtRow(row)), 0), false);
        return true;
    }
    if (row < 0)
        return false;
    if (ctrl && (key == VK_UP || key == VK_DOWN)) {
        if (ItemListFiltered())
            return true; // an order among the matching rows means nothing
        const int target = key == VK_UP ? row - 1 : row + 1;
        if (!ValidRow(State().tabs[t].items, target))
            return false;
        MoveTemplateEntry(list, row, target);
        return true;
    }
    if (key == VK_DELETE) {
        DeleteTemplateEntry(list, EntryAtRow(row), false);
        return true;
    }
    if (ctrl && key == 'E') {
        EditAndSave(list, list, EntryAtRow(row), false);
        return true;
    }
    return false;
}

// ---- Context menu ------------------------------------------------------------------------------

UniqueMenu BuildContextMenu(EntryId entry) {
    UniqueMenu menu(CreatePopupMenu());
    HMENU m = menu.get();
    if (State().tabs[TabInView(View())].encrypted) {
        AppendMenuW(m, MF_STRING, CMD_UNLOCK_TAB, L"パスワードを入力して復号...");
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    }
    if (View().historyShown) {
        const int index = FindEntry(History(), entry);
        const bool valid = index >= 0;
        const bool locked = valid && History()[static_cast<size_t>(index)].locked;
        AppendMenuW(m, MF_STRING, LIST_COPY, L"コピー");
        AppendMenuW(m, MF_STRING, LIST_LOCK, locked ? L"ロック解除" : L"ロック");
        if (valid)
            AppendMenuW(m, MF_STRING, LIST_EDIT, L"編集");
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(m, MF_STRING | (locked ? MF_GRAYED : 0), LIST_DELETE, L"削除");
        return menu;
    }
    const TabSlot& slot = State().tabs[CurrentTemplateTab()];
    AppendMenuW(m, MF_STRING, LIST_NEW, L"新規登録");
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    if (FindEntry(slot.items, entry) >= 0) {
        AppendMenuW(m, MF_STRING, LIST_COPY, L"コピー");
        AppendMenuW(m, MF_STRING, LIST_EDIT, L"編集");
        AppendMenuW(m, MF_STRING, LIST_DELETE, L"削除");
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    }
    // A file opened for this run is sealed on disk: an editor would show the envelope.
    const UINT fileFlags = MF_STRING | (slot.tempUnlocked ? MF_GRAYED : 0);
    AppendMenuW(m, fileFlags, LIST_EXTERNAL_EDITOR, L"外部エディタで編集");
    AppendMenuW(m, fileFlags, LIST_RELOAD, L"リストの更新");
    return menu;
}

// The command acts on the entry the menu was opened for, wherever it is now.
void RunMenuCommand(HWND list, UINT id, EntryId entry) {
    const bool history = View().historyShown;
    const bool there = FindEntry(InView(), entry) >= 0;
    switch (id) {
    case CMD_UNLOCK_TAB:
        OnListUnlockCommand();
        break;
    case LIST_COPY:
        if (there)
            g_host.copyEntry(entry);
        break;
    case LIST_LOCK:
        if (history)
            ToggleLockAndShow(list, entry);
        break;
    case LIST_EDIT:
        if (there)
            EditAndSave(list, list, entry, true);
        break;
    case LIST_DELETE:
        if (history) {
            DeleteSelectedHistoryEntry(list, entry);
            SetFocus(list);
        } else {
            DeleteTemplateEntry(list, entry, true);
        }
        break;
    case LIST_NEW:
        if (!history)
            NewTemplateEntry(list, 0, true);
        break;
    case LIST_EXTERNAL_EDITOR:
        if (!history)
            OpenInExternalEditor(list);
        break;
    case LIST_RELOAD:
        if (!history)
            ReloadTemplateTab();
        break;
    default:
        break;
    }
}

// ---- Dragging ----------------------------------------------------------------------------------

void SetDropMark(HWND list, int row, bool after) {
    if (row != g_listInteraction.markRow || after != g_listInteraction.markAfter)
        InvalidateRect(list, nullptr, TRUE); // the list paints the line where the mark is
    g_listInteraction.markRow = row;
    g_listInteraction.markAfter = after;
    LVINSERTMARK mark{};
    mark.cbSize = sizeof(mark);
    mark.dwFlags = after ? LVIM_AFTER : 0;
    mark.iItem = row;
    SendMessageW(list, LVM_SETINSERTMARK, 0, reinterpret_cast<LPARAM>(&mark));
}

} // namespace

// ---- Saving ------------------------------------------------------------------------------------

void InitListActions(const ListHost& host) {
    g_host = host;
}

int CurrentTemplateTab() {
    const int t = TabInView(View());
    return t == kHistoryTab ? -1 : t;
}

void SaveTabItems() {
    const int t = CurrentTemplateTab();
    if (t >= 0)
        g_host.saveTab(t);
}

// ---- Notifications -------------------------------------------------------------------------------

void ChooseRow(int row) {
    if (row < 0)
        return;
    if (GetKeyState(VK_SHIFT) < 0 && g_host.queueEntry && g_host.queueEntry(EntryAtRow(row)))
        return; // queued for 連続貼り付け, not chosen
    const int t = View().currentTab;
    if (t >= 0 && t < kTabCount && State().tabs[t].type == TabType::MemoList) {
        ItemEditRequest request;
        if (EditEntry(g_host.main, EntryAtRow(row), request) == IDOK) {
            Refill(g_host.list);
            g_host.saveTab(request.tab);
        }
        return;
    }
    g_host.chooseEntry(EntryAtRow(row));
}

int RowUnderPointer(HWND list) {
    const DWORD position = GetMessagePos();
    POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ScreenToClient(list, &point);
    const int row = HitRow(list, point);
    return row >= 0 ? row : SelectedListRow(list);
}

void BeginRowDrag(HWND list, int row) {
    if (ItemListFiltered() || row < 0)
        return; // an order among the matching rows means nothing
    g_listInteraction.dragActive = true;
    g_listInteraction.dragSource = EntryAtRow(row);
    g_listInteraction.markRow = -1;
    SetCapture(list);
    SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
}

// ---- Keys -----------------------------------------------------------------------------------------

bool OnListKeyDown(HWND list, WPARAM key) {
    const int row = SelectedListRow(list);
    const bool ctrl = CtrlDown();
    const int digit = DigitOf(key);
    if (digit >= 0) {
        OnDigit(list, digit, ctrl);
        return true;
    }
    if (!IsModifierKey(static_cast<UINT>(key))) {
        ResetTypedNumber();
        // Up on the first row goes back to the filter line.
        if (key == VK_UP && !ctrl && row <= 0 && FilterBoxOpen()) {
            FocusFilterBox();
            return true;
        }
        // Plain Left and Right are taken by the message loop (with wrap-around); Alt+Left and
        // Alt+Right arrive here and stop at the ends.
        if (key == VK_LEFT && View().currentTab > 0) {
            g_host.switchToTab(View().currentTab - 1);
            return true;
        }
        if (key == VK_RIGHT && View().currentTab < kTabCount - 1) {
            g_host.switchToTab(View().currentTab + 1);
            return true;
        }
    }
    if (ContentUnavailable(State().tabs[TabInView(View())]))
        return false;
    return View().historyShown ? HistoryKey(list, key, row, ctrl) : TemplateKey(list, key, row, ctrl);
}

bool OnListKeyUp(HWND, WPARAM key) {
    if (key != VK_CONTROL)
        return false;
    const EntryId pending = g_listInteraction.pendingEntry;
    ResetTypedNumber();
    // Chosen as Enter chooses, memo lists included: the paste goes to the window that was in
    // front when the tool window came up.
    if (RowOfEntry(pending) >= 0)
        g_host.chooseEntry(pending);
    return true;
}

// ---- The filter line --------------------------------------------------------------------------------

bool FilterAllowed(int tab) {
    if (tab < 0 || tab >= kTabCount)
        return false;
    const TabSlot& slot = State().tabs[tab];
    return (tab == kHistoryTab || slot.type != TabType::MemoPad) && !ContentUnavailable(slot) &&
           View().encryptSetupTab != tab;
}

void OpenFilter() {
    if (!FilterAllowed(View().currentTab) || !IsWindowVisible(g_host.list))
        return;
    const bool wasOpen = FilterBoxOpen();
    OpenFilterBox(); // the focus in the box, its text selected
    if (!wasOpen && g_host.layout)
        g_host.layout();
}

void CloseFilter() {
    if (!FilterBoxOpen() && !ItemListFiltered())
        return;
    const bool hadFocus = FilterBoxHasFocus();
    CloseFilterBox(); // the emptied box hands on the change: every row again
    EndItemListFilter(g_host.list);
    if (g_host.layout)
        g_host.layout();
    if (hadFocus && IsWindowVisible(g_host.list))
        SetFocus(g_host.list);
}

bool OnFilterEscape() {
    if (!FilterBoxOpen())
        return false;
    HWND list = g_host.list;
    // The entry selected among the matches stays selected among all rows.
    const EntryId selected = EntryAtRow(SelectedListRow(list));
    if (FilterBoxText().empty())
        CloseFilter(); // the keys go to the list
    else
        SetFilterBoxText(L""); // the box keeps the keys
    SelectListRow(list, std::max(RowOfEntry(selected), 0));
    return true;
}

void OnFilterChanged(const std::wstring& text) {
    HWND list = g_host.list;
    SetItemListFilter(list, text);
    // The first match is the one Enter chooses; it shows selected while the box has the keys.
    SelectListRow(list, 0);
}

void ChooseFirstMatch() {
    if (ListRowCount(g_host.list) > 0)
        ChooseRow(0);
}

void EnterListFromFilter() {
    HWND list = g_host.list;
    if (ListRowCount(list) == 0)
        return;
    SetFocus(list);
    if (SelectedListRow(list) < 0)
        SelectListRow(list, 0);
}

// ---- Context menu -----------------------------------------------------------------------------------

bool OnListContextMenu(HWND list, LPARAM screenPoint) {
    POINT point{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    int row = -1;
    if (screenPoint == static_cast<LPARAM>(-1)) {
        // From the keyboard (menu key, Shift+F10): the selected row, the menu at its corner.
        row = SelectedListRow(list);
        RECT rect{LVIR_BOUNDS, 0, 0, 0};
        if (row < 0 || !SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect)))
            rect = RECT{};
        point = {rect.left + 8, rect.bottom};
        ClientToScreen(list, &point);
    } else {
        POINT client = point;
        ScreenToClient(list, &client);
        row = HitRow(list, client);
        SelectListRow(list, row, false);
    }
    if (!View().historyShown && CurrentTemplateTab() < 0)
        return false;

    const EntryId entry = EntryAtRow(row);
    UniqueMenu menu = BuildContextMenu(entry);
    SetForegroundWindow(list);
    const UINT id = TrackOwnPopupMenu(menu.get(), point, list);
    menu.reset();
    if (id != 0)
        RunMenuCommand(list, id, entry);
    return true;
}

void OnListUnlockCommand() {
    // The tab's password panel is where a sealed tab is opened.
    g_host.showPasswordPanel();
}

// ---- Dragging and the middle button -------------------------------------------------------------------

bool OnListDragMove(HWND list, POINT point) {
    if (!g_listInteraction.dragActive)
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
    RECT client{};
    GetClientRect(list, &client);
    if (point.y < kDragScrollZone)
        SendMessageW(list, WM_VSCROLL, SB_LINEUP, 0);
    else if (point.y > client.bottom - kDragScrollZone)
        SendMessageW(list, WM_VSCROLL, SB_LINEDOWN, 0);

    const int row = HitRow(list, point);
    bool after = false;
    if (row >= 0) {
        RECT bounds{LVIR_BOUNDS, 0, 0, 0};
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
        after = point.y > (bounds.top + bounds.bottom) / 2;
    }
    SetDropMark(list, row, after);
    return true;
}

bool OnListDrop(HWND list) {
    ListInteraction& state = g_listInteraction;
    if (!state.dragActive)
        return false;
    state.dragActive = false; // first: releasing the capture below must not count as a cancel
    ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    const int markRow = state.markRow;
    const bool after = state.markAfter;
    SetDropMark(list, -1, false);
    // Captures may have moved the rows since the drag began.
    const int source = RowOfEntry(state.dragSource);
    const int target = source < 0 ? -1 : DropTarget(source, markRow, after);
    if (target < 0)
        return true;
    if (View().historyShown)
        MoveHistoryEntry(list, source, target);
    else
        MoveTemplateEntry(list, source, target);
    return true;
}

void CancelRowDrag(HWND list) {
    if (!g_listInteraction.dragActive)
        return;
    g_listInteraction.dragActive = false;
    SetDropMark(list, -1, false);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void ClearDropMark(HWND list) {
    if (g_listInteraction.dragActive)
        SetDropMark(list, -1, false);
}

void OnListMiddleButton(HWND list, POINT point) {
    if (!View().historyShown || ContentUnavailable(State().tabs[kHistoryTab]))
        return;
    const int row = HitRow(list, point);
    if (row >= 0)
        DeleteHistoryEntry(list, EntryAtRow(row));
}
