// ShowTab and the password panel: which of list, memo pad and panel the current tab shows,
// the panel's modes and placement, the lock picture's painting and the password edits' keys.
#include "tabs/TabView.h"

#include "tabs/TabContext.h"
#include "tabs/TabFiles.h"
#include "tabs/TabStrip.h"
#include "ui/Colours.h"
#include "ui/Ids.h"
#include "ui/ItemList.h"
#include "ui/ListActions.h"
#include "ui/WinHandles.h"
#include "ui/Windowing.h"

#include <commctrl.h>
#include <objidl.h> // IStream, which the GDI+ headers expect and WIN32_LEAN_AND_MEAN leaves out

#include <algorithm>
#include <initializer_list>
#include <memory>

// The GDI+ headers use min and max unqualified; NOMINMAX removes the macros.
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

namespace {

namespace gdip = Gdiplus::DllExports;

const wchar_t kUnlockPrompt[] = L"パスワードを入力して下さい。";
const wchar_t kSetupPrompt[] = L"暗号化用パスワードを入力して下さい。";
const wchar_t kConfirmPrompt[] = L"確認としてもう一度入力して下さい。";

constexpr UINT_PTR kLockPictureSubclass = 1;
constexpr UINT_PTR kPasswordEditSubclass = 2;
constexpr UINT_PTR kMemoPadSubclass = 3;

TabViewWindows g_controls;  // the memo pad and the panel, made by CreateTabView
bool g_fillingMemo = false; // the program itself puts text into the memo pad: no edit of the user's
bool g_closing = false;     // the window is being destroyed: the memo pad is no longer saved

// ---- Lock picture --------------------------------------------------------------------------

struct GraphicsDeleter {
    void operator()(Gdiplus::GpGraphics* graphics) const { gdip::GdipDeleteGraphics(graphics); }
};
using UniqueGraphics = std::unique_ptr<Gdiplus::GpGraphics, GraphicsDeleter>;

bool SetupInView() {
    return View().encryptSetupTab >= 0 && View().encryptSetupTab == View().currentTab;
}

void PaintLockPicture(HDC dc, const RECT& client) {
    SetDCBrushColor(dc, ContentColoursFor(CurrentColourScheme()).background);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));

    Gdiplus::GpGraphics* raw = nullptr;
    if (gdip::GdipCreateFromHDC(dc, &raw) != Gdiplus::Ok)
        return;
    UniqueGraphics graphics(raw);
    gdip::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);

    auto* image = static_cast<Gdiplus::GpImage*>(SetupInView() ? Host().lockSetupPicture : Host().lockUnlockPicture);
    UINT imageWidth = 0;
    // A picture whose file was missing loads as an image in error: it draws nothing.
    if (image && gdip::GdipGetImageWidth(image, &imageWidth) == Gdiplus::Ok)
        gdip::GdipDrawImageRectI(graphics.get(), image, 0, 0, client.right - client.left, client.bottom - client.top);
}

LRESULT OnLockPicturePaint(HWND picture) {
    UniquePaintDC paint(picture);
    if (paint) {
        RECT client{};
        GetClientRect(picture, &client);
        PaintLockPicture(paint.get(), client);
    }
    return 0;
}

LRESULT CALLBACK LockPictureProc(HWND picture, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_PAINT:
        return OnLockPicturePaint(picture);
    case WM_NCDESTROY:
        return EndSubclass(picture, LockPictureProc, kLockPictureSubclass, msg, wParam, lParam);
    default:
        return DefSubclassProc(picture, msg, wParam, lParam);
    }
}

// ---- Password edits ------------------------------------------------------------------------

bool IsPanelKey(WPARAM key) {
    return key == VK_RETURN || key == VK_LEFT || key == VK_RIGHT;
}

LRESULT OnPasswordGetDlgCode(HWND edit, WPARAM wParam, LPARAM lParam) {
    // The main loop's dialog navigation would take Enter and the arrows; the edit wants them.
    const MSG* queried = reinterpret_cast<const MSG*>(lParam);
    if (queried && queried->message == WM_KEYDOWN && IsPanelKey(queried->wParam))
        return DLGC_WANTMESSAGE;
    return DefSubclassProc(edit, WM_GETDLGCODE, wParam, lParam);
}

// The main window runs the panel's commands, whether a button was clicked or Enter pressed.
void PressPanelButton(HWND button) {
    const int id = GetDlgCtrlID(button);
    SendMessageW(Host().main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// Enter opens the sealed tab for the run; in setup it walks from the password to its
// confirmation and seals from there.
void OnPasswordEnter(HWND edit) {
    if (View().encryptSetupTab == -1)
        PressPanelButton(g_controls.unlockForRun);
    else if (edit == g_controls.password)
        SetFocus(g_controls.passwordConfirm);
    else if (edit == g_controls.passwordConfirm)
        PressPanelButton(g_controls.seal);
}

LRESULT CALLBACK PasswordEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_GETDLGCODE:
        return OnPasswordGetDlgCode(edit, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            OnPasswordEnter(edit);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        return EndSubclass(edit, PasswordEditProc, kPasswordEditSubclass, msg, wParam, lParam);
    default:
        break;
    }
    return DefSubclassProc(edit, msg, wParam, lParam);
}

// ---- Memo pad --------------------------------------------------------------------------------

// The memo pad shows a tab open for the run, whose text is sealed on disk.
bool MemoPadHoldsASecret() {
    const int t = View().currentTab;
    return t >= 0 && t < kTabCount && State().tabs[t].tempUnlocked && Host().copySecret;
}

LRESULT CALLBACK MemoPadProc(HWND memo, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_KILLFOCUS:
        // The user has left the memo pad (Esc, a click elsewhere, another window, a message
        // box, a dialog): what waits for a pause in typing is written now.
        FlushMemoSave();
        break;
    case WM_COPY:
    case WM_CUT:
        if (MemoPadHoldsASecret()) {
            CopyEditSelectionAsSecret(memo, msg == WM_CUT, Host().copySecret);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        return EndSubclass(memo, MemoPadProc, kMemoPadSubclass, msg, wParam, lParam);
    default:
        break;
    }
    return DefSubclassProc(memo, msg, wParam, lParam);
}

// ---- Creation ------------------------------------------------------------------------------

HWND CreatePanelChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                      DWORD exStyle = 0) {
    return CreateWindowExW(exStyle, className, text, WS_CHILD | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ProgramInstance(), nullptr);
}

// ---- Panel modes ---------------------------------------------------------------------------

void ShowControls(std::initializer_list<HWND> windows, int command) {
    for (HWND window : windows)
        if (window)
            ShowWindow(window, command);
}

void EnableControls(std::initializer_list<HWND> windows, BOOL enable) {
    for (HWND window : windows)
        if (window)
            EnableWindow(window, enable);
}

// The list stays behind the panel, empty and disabled; the password edit takes the focus.
void ClearListBehindPanel() {
    if (Host().list) {
        ClearItemList(Host().list);
        EnableWindow(Host().list, FALSE);
    }
}

void EnterUnlockMode() {
    const TabViewWindows& w = g_controls;
    ShowControls({w.lockImage, w.panelLabel, w.password, w.unlockForRun, w.unlockForGood}, SW_SHOW);
    ShowControls({w.confirmLabel, w.passwordConfirm, w.seal, w.cancelSeal}, SW_HIDE);
    EnableControls({w.password, w.unlockForRun, w.unlockForGood}, TRUE);
    ClearListBehindPanel();
    SetWindowTextW(w.panelLabel, kUnlockPrompt);
    SetWindowTextW(w.password, L"");
    SetFocus(w.password);
}

void EnterSetupMode() {
    const TabViewWindows& w = g_controls;
    ShowControls({w.lockImage, w.panelLabel, w.password, w.confirmLabel, w.passwordConfirm, w.seal, w.cancelSeal},
                 SW_SHOW);
    ShowControls({w.unlockForRun, w.unlockForGood}, SW_HIDE);
    EnableControls({w.password, w.passwordConfirm, w.seal, w.cancelSeal}, TRUE);
    EnableControls({w.unlockForRun, w.unlockForGood}, FALSE);
    ClearListBehindPanel();
    SetWindowTextW(w.panelLabel, kSetupPrompt);
    SetWindowTextW(w.confirmLabel, kConfirmPrompt);
    SetWindowTextW(w.password, L"");
    SetWindowTextW(w.passwordConfirm, L"");
    SetFocus(w.password);
}

void HidePanel() {
    const TabViewWindows& w = g_controls;
    ShowControls({w.lockImage, w.panelLabel, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel,
                  w.passwordConfirm, w.seal, w.cancelSeal},
                 SW_HIDE);
    if (Host().list)
        EnableWindow(Host().list, TRUE);
    EnableControls({w.password, w.passwordConfirm, w.unlockForRun, w.unlockForGood, w.seal, w.cancelSeal}, FALSE);
}

// Only the first label, saying why the tab shows nothing.
void EnterUnreadableMode(const TabSlot& slot) {
    const TabViewWindows& w = g_controls;
    ShowControls({w.panelLabel}, SW_SHOW);
    ShowControls({w.lockImage, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel, w.passwordConfirm, w.seal,
                  w.cancelSeal},
                 SW_HIDE);
    EnableControls({w.password, w.passwordConfirm, w.unlockForRun, w.unlockForGood, w.seal, w.cancelSeal}, FALSE);
    ClearListBehindPanel();
    SetWindowTextW(w.panelLabel, UnreadableTabText(slot).c_str());
    SetFocus(TabStripWindow()); // nothing else there takes keys
}

void EnterPanelMode(PanelMode mode, const TabSlot& slot) {
    switch (mode) {
    case PanelMode::Unlock:
        EnterUnlockMode();
        break;
    case PanelMode::Setup:
        EnterSetupMode();
        break;
    case PanelMode::Unreadable:
        EnterUnreadableMode(slot);
        break;
    case PanelMode::Hidden:
        HidePanel();
        break;
    }
}

PanelMode PanelModeOf(int t) {
    const TabSlot& slot = State().tabs[t];
    return PanelModeFor(t, slot.encrypted, View().encryptSetupTab, slot.unreadable);
}

// ---- ShowTab -------------------------------------------------------------------------------

void RedrawMainWindowNow() {
    RedrawWindow(Host().main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void SetListColumnText(int column, const wchar_t* text) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = const_cast<wchar_t*>(text);
    SendMessageW(Host().list, LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
}

void SetListHeaders(int t) {
    if (!Host().list || t < 0 || t >= kTabCount)
        return;
    SetListColumnText(0, FirstColumnHeader(t));
    SetListColumnText(1, ListHeaderText(State().tabs[t]).c_str());
}

void FinishShowTab(int t) {
    SelectTabInStrip(t);
    RedrawMainWindowNow();
}

void PutMemoPadText(const std::wstring& text) {
    // EN_CHANGE from this call must not be saved as the user's edit.
    g_fillingMemo = true;
    SetWindowTextW(g_controls.memoPad, text.c_str());
    g_fillingMemo = false;
}

// The memo pad is only a view of its tab's entry: hidden, or over a sealed tab, it holds
// nothing (another program could read it there).
void ClearMemoPad() {
    if (g_controls.memoPad && GetWindowTextLengthW(g_controls.memoPad) > 0)
        PutMemoPadText(std::wstring());
}

void ShowMemoPadTab(int t) {
    HWND memo = g_controls.memoPad;
    View().historyShown = false;

    const PanelMode mode = PanelModeOf(t);
    if (mode != PanelMode::Hidden) {
        // A sealed memo pad, or one being sealed, shows the panel over the list.
        ShowWindow(memo, SW_HIDE);
        ClearMemoPad();
        ShowWindow(Host().list, SW_SHOW);
        RedrawMainWindowNow();
        Host().layout();
        EnterPanelMode(mode, State().tabs[t]);
        SetListHeaders(t);
        FinishShowTab(t);
        return;
    }

    HidePanel();
    // Every change the user made in it is already in its tab's entry. The list goes out of
    // sight with nothing in it: a key that reached it could not act on another tab's rows.
    ShowWindow(Host().list, SW_HIDE);
    ClearItemList(Host().list);
    ShowWindow(memo, SW_SHOW);
    Host().layout();
    PutMemoPadText(MemoPadText(t, State().tabs[t]));
    SetFocus(memo);
    FinishShowTab(t);
}

void ShowListTab(int t) {
    HWND list = Host().list;
    if (list && g_controls.memoPad) {
        ShowWindow(g_controls.memoPad, SW_HIDE);
        ClearMemoPad();
        ShowWindow(list, SW_SHOW);
    }
    if (t < 0 || t >= kTabCount)
        return;

    View().historyShown = (t == kHistoryTab);
    if (list)
        ClearItemList(list);
    Host().layout();

    const PanelMode mode = PanelModeOf(t);
    EnterPanelMode(mode, State().tabs[t]);
    if (mode == PanelMode::Hidden && list) {
        const std::vector<HistoryItem>& items = State().tabs[t].items;
        FillItemList(list, items, t == kHistoryTab, State().HistoryLimit);
        if (!items.empty()) {
            SetFocus(list);
            SelectListRow(list, 0);
        }
    }
    SetListHeaders(t);
    FinishShowTab(t);
}

} // namespace

void CreateTabView(HWND parent) {
    TabViewWindows& w = g_controls;
    g_closing = false;
    CreateAccessibleLabel(parent, L"メモ帳"); // its own text is the memo
    w.memoPad =
        CreatePanelChild(parent, L"EDIT", L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                         CTL_MEMO_PAD, WS_EX_CLIENTEDGE);
    if (HFONT font = Host().listFont ? Host().listFont() : nullptr)
        SendMessageW(w.memoPad, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    Subclass(w.memoPad, MemoPadProc, kMemoPadSubclass);

    w.lockImage = CreatePanelChild(parent, L"STATIC", L"", 0, 0);
    Subclass(w.lockImage, LockPictureProc, kLockPictureSubclass);
    const DWORD editStyle = WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL;
    // Creation order is the Tab order.
    w.panelLabel = CreatePanelChild(parent, L"STATIC", L"このタブは暗号化されています。パスワードを入力してください。",
                                    SS_CENTER, 0);
    w.password = CreatePanelChild(parent, L"EDIT", L"", editStyle, CTL_PASSWORD, WS_EX_CLIENTEDGE);
    w.unlockForRun = CreatePanelChild(parent, L"BUTTON", L"一時解除", WS_TABSTOP, CTL_UNLOCK_FOR_RUN);
    w.unlockForGood = CreatePanelChild(parent, L"BUTTON", L"暗号化解除", WS_TABSTOP, CTL_UNLOCK_FOR_GOOD);
    w.confirmLabel = CreatePanelChild(parent, L"STATIC", kConfirmPrompt, SS_CENTER, 0);
    w.passwordConfirm = CreatePanelChild(parent, L"EDIT", L"", editStyle, CTL_PASSWORD_CONFIRM, WS_EX_CLIENTEDGE);
    w.seal = CreatePanelChild(parent, L"BUTTON", L"暗号化実行", WS_TABSTOP, CTL_SEAL);
    w.cancelSeal = CreatePanelChild(parent, L"BUTTON", L"キャンセル", WS_TABSTOP, CTL_CANCEL_SEAL);
    for (HWND edit : {w.password, w.passwordConfirm})
        Subclass(edit, PasswordEditProc, kPasswordEditSubclass);
}

const TabViewWindows& ViewWindows() {
    return g_controls;
}

void CloseTabView() {
    g_closing = true;
}

void OnMemoPadEdited() {
    const int t = View().currentTab;
    if (!g_controls.memoPad || g_closing || g_fillingMemo || t < 1 || t >= kTabCount ||
        State().tabs[t].type != TabType::MemoPad || ContentUnavailable(State().tabs[t]))
        return;
    MemoTextIntoItems(State().tabs[t]);
    // Not a write per key: on a slow disk or a synced folder typing would stutter, and a memo pad
    // open for the run would cost two key derivations per key.
    ScheduleMemoSave(t);
}

void MemoTextIntoItems(TabSlot& slot) {
    const std::wstring text = g_controls.memoPad ? WindowText(g_controls.memoPad) : std::wstring();
    slot.items.clear();
    if (!text.empty()) {
        HistoryItem memo;
        memo.text = text;
        slot.items.push_back(memo);
    }
}

void FocusTabView(FocusCause cause) {
    const TabViewWindows& w = g_controls;
    const int t = View().currentTab;
    if (t < 0 || t >= kTabCount)
        return;
    switch (FocusTargetFor(PanelModeOf(t), t, State().tabs[t].type, cause)) {
    case FocusTarget::Password:
        SetFocus(w.password);
        return;
    case FocusTarget::Strip:
        SetFocus(TabStripWindow());
        return;
    case FocusTarget::MemoPad:
        if (w.memoPad)
            SetFocus(w.memoPad);
        return;
    case FocusTarget::List:
        break;
    }
    if (!Host().list)
        return;
    if (ListRowCount(Host().list) > 0 && SelectedListRow(Host().list) < 0)
        SelectListRow(Host().list, 0);
    SetFocus(Host().list);
}

void ShowTab(int t) {
    FlushMemoSave(); // what waits to be written belongs to the tab that was on screen
    // A tab without a list of entries in memory has no filter.
    if (!FilterAllowed(t))
        CloseFilter();
    const bool memoPadTab =
        Host().list && g_controls.memoPad && t >= 0 && t < kTabCount && State().tabs[t].type == TabType::MemoPad;
    if (memoPadTab)
        ShowMemoPadTab(t);
    else
        ShowListTab(t);
}

void LayoutPasswordPanel(HWND, int clientWidth, int clientHeight, int toolbarHeight) {
    const TabViewWindows& w = g_controls;
    if (!w.password || !w.panelLabel)
        return;

    const int dpi = LayoutDpi();
    const bool setup = SetupInView();
    const PanelGeometry g = ComputePanelGeometry(clientWidth, clientHeight, toolbarHeight, dpi, setup);

    const auto place = [](HWND window, const ControlBox& box) {
        if (window)
            SetWindowPos(window, nullptr, box.x, box.y, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(w.lockImage, g.lockImage);
    ControlBox label = g.firstLabel;
    const int t = View().currentTab;
    if (t >= 0 && t < kTabCount && State().tabs[t].unreadable)
        label.height *= 3; // its words take a few lines; nothing else shares the panel then
    place(w.panelLabel, label);
    place(w.password, g.password);
    if (setup) {
        place(w.confirmLabel, g.confirmLabel);
        place(w.passwordConfirm, g.confirmEdit);
        place(w.seal, g.leftButton);
        place(w.cancelSeal, g.rightButton);
    } else {
        place(w.unlockForRun, g.leftButton);
        place(w.unlockForGood, g.rightButton);
    }

    const WPARAM font = reinterpret_cast<WPARAM>(Host().listFont());
    for (HWND window : {w.memoPad, w.panelLabel, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel,
                        w.passwordConfirm, w.seal, w.cancelSeal})
        if (window)
            SendMessageW(window, WM_SETFONT, font, TRUE);
    for (HWND window : {w.lockImage, w.panelLabel, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel,
                        w.passwordConfirm, w.seal, w.cancelSeal})
        if (window && IsWindowVisible(window))
            InvalidateRect(window, nullptr, TRUE);
}

void SwitchToTab(int t) {
    if (t < 0 || t >= kTabCount)
        return;
    if (t != View().currentTab)
        CloseFilter(); // a filter belongs to the list it was typed over
    View().currentTab = t;
    SelectTabInStrip(t);
    EnableWindow(g_controls.memoPad, FALSE); // keeps the edit box from taking the key meanwhile
    ShowTab(t);
    EnableWindow(g_controls.memoPad, TRUE);
    FocusTabView(FocusCause::TabSwitch);
}

namespace {

// The list shows tab t's entries again, its selection and its first visible row on the same
// entries where they remain.
void RefillListKeepingView(int t, const ViewAnchor& anchor) {
    HWND list = Host().list;
    FillItemList(list, State().tabs[t].items, t == kHistoryTab, State().HistoryLimit); // a filter set stays
    const int row = ItemListRowOf(anchor.selected);
    if (row >= 0)
        SelectListRow(list, row, false);
    const int topRow = ItemListRowOf(anchor.top);
    RECT item;
    if (topRow >= 0 && ListView_GetItemRect(list, 0, &item, LVIR_BOUNDS))
        ListView_Scroll(list, 0, (topRow - ListView_GetTopIndex(list)) * (item.bottom - item.top));
}

// The memo pad shows tab t's text again, its selection and its first visible line kept.
void RefillMemoPadKeepingView(int t) {
    HWND memo = g_controls.memoPad;
    const std::wstring before = WindowText(memo);
    const std::wstring after = MemoPadText(t, State().tabs[t]);
    if (before == after)
        return;
    DWORD start = 0, end = 0;
    SendMessageW(memo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const LRESULT firstLine = SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0);
    PutMemoPadText(after);
    SendMessageW(memo, EM_SETSEL, PositionAfterChange(before, after, start), PositionAfterChange(before, after, end));
    SendMessageW(memo, EM_LINESCROLL, 0, firstLine - SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0));
}

} // namespace

ViewAnchor ListViewAnchor() {
    HWND list = Host().list;
    if (!list || !IsWindowVisible(list) || ListRowCount(list) == 0)
        return ViewAnchor{};
    return ViewAnchor{ItemListEntryAt(SelectedListRow(list)), ItemListEntryAt(ListView_GetTopIndex(list))};
}

void ShowTakenInTab(int t, const ViewAnchor& anchor) {
    if (t < 0 || t >= kTabCount || !Host().list)
        return;
    const bool listOnScreen = t == TabInView(View()) && IsWindowVisible(Host().list) != FALSE;
    const bool memoOnScreen = t == View().currentTab && !View().historyShown && g_controls.memoPad &&
                              IsWindowVisible(g_controls.memoPad) != FALSE;
    const TabSlot& slot = State().tabs[t];
    const bool panel = PanelModeOf(t) != PanelMode::Hidden;
    if (listOnScreen && !panel && slot.type != TabType::MemoPad)
        RefillListKeepingView(t, anchor);
    else if (memoOnScreen && !panel && slot.type == TabType::MemoPad)
        RefillMemoPadKeepingView(t);
    else if (t == View().currentTab || (t == kHistoryTab && View().historyShown))
        ShowTab(View().currentTab); // sealed or opened elsewhere, or another kind: shown anew
}
