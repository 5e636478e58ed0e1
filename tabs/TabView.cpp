// ShowTab and the password panel: which of list, memo pad and panel the current tab shows,
// the panel's modes and placement, the lock picture's painting and the password edits' keys.
#include "tabs/TabView.h"

#include "app/AppContext.h"
#include "app/Layout.h"
#include "core/UniqueHandles.h"
#include "tabs/TabLock.h"
#include "tabs/TabStrip.h"
#include "ui/ItemList.h"

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

const wchar_t kOldStaticProc[] = L"OldStaticProc";
const wchar_t kOldEditProc[] = L"OldEditProc";

const wchar_t kUnlockPrompt[] = L"パスワードを入力して下さい。";
const wchar_t kSetupPrompt[] = L"暗号化用パスワードを入力して下さい。";
const wchar_t kConfirmPrompt[] = L"確認としてもう一度入力して下さい。";

constexpr COLORREF kPanelBackground = RGB(243, 243, 243);

// ---- Subclassing with the previous procedure kept in a window property --------------------

void SubclassWithProperty(HWND window, const wchar_t* property, WNDPROC proc) {
    const LONG_PTR previous = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    SetPropW(window, property, reinterpret_cast<HANDLE>(previous));
}

WNDPROC PreviousProc(HWND window, const wchar_t* property) {
    return reinterpret_cast<WNDPROC>(reinterpret_cast<LONG_PTR>(GetPropW(window, property)));
}

LRESULT CallPrevious(WNDPROC previous, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return previous ? CallWindowProcW(previous, window, msg, wParam, lParam)
                    : DefWindowProcW(window, msg, wParam, lParam);
}

void Unsubclass(HWND window, const wchar_t* property) {
    if (!window)
        return;
    if (WNDPROC previous = PreviousProc(window, property))
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropW(window, property);
}

// ---- Lock picture --------------------------------------------------------------------------

struct GraphicsDeleter {
    void operator()(Gdiplus::GpGraphics* graphics) const { gdip::GdipDeleteGraphics(graphics); }
};
using UniqueGraphics = std::unique_ptr<Gdiplus::GpGraphics, GraphicsDeleter>;

bool SetupInView() {
    return g_app.encryptSetupTab >= 0 && g_app.encryptSetupTab == g_app.currentTab;
}

void PaintLockPicture(HDC dc, const RECT& client) {
    SetDCBrushColor(dc, kPanelBackground);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));

    Gdiplus::GpGraphics* raw = nullptr;
    if (gdip::GdipCreateFromHDC(dc, &raw) != Gdiplus::Ok)
        return;
    UniqueGraphics graphics(raw);
    gdip::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);

    auto* image = static_cast<Gdiplus::GpImage*>(SetupInView() ? g_lockPictures.setup : g_lockPictures.unlock);
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

LRESULT CALLBACK LockPictureProc(HWND picture, UINT msg, WPARAM wParam, LPARAM lParam) {
    const WNDPROC previous = PreviousProc(picture, kOldStaticProc);
    switch (msg) {
    case WM_PAINT:
        return OnLockPicturePaint(picture);
    case WM_DESTROY:
        RemovePropW(picture, kOldStaticProc);
        break;
    default:
        break;
    }
    return CallPrevious(previous, picture, msg, wParam, lParam);
}

// ---- Password edits ------------------------------------------------------------------------

bool IsPanelKey(WPARAM key) {
    return key == VK_RETURN || key == VK_LEFT || key == VK_RIGHT;
}

LRESULT OnPasswordGetDlgCode(HWND edit, WPARAM wParam, LPARAM lParam, WNDPROC previous) {
    // The main loop's dialog navigation would take Enter and the arrows; the edit wants them.
    const MSG* queried = reinterpret_cast<const MSG*>(lParam);
    if (queried && queried->message == WM_KEYDOWN && IsPanelKey(queried->wParam))
        return DLGC_WANTMESSAGE;
    return CallPrevious(previous, edit, WM_GETDLGCODE, wParam, lParam);
}

void SendPanelCommand(int id, HWND button) {
    SendMessageW(g_windows.main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// Enter opens the sealed tab for the run; in setup it walks from the password to its
// confirmation and seals from there.
void OnPasswordEnter(HWND edit) {
    if (g_app.encryptSetupTab == -1)
        SendPanelCommand(CTL_UNLOCK_FOR_RUN, g_windows.unlockForRun);
    else if (edit == g_windows.password)
        SetFocus(g_windows.passwordConfirm);
    else if (edit == g_windows.passwordConfirm)
        SendPanelCommand(CTL_SEAL, g_windows.seal);
}

LRESULT CALLBACK PasswordEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam) {
    const WNDPROC previous = PreviousProc(edit, kOldEditProc);
    switch (msg) {
    case WM_GETDLGCODE:
        return OnPasswordGetDlgCode(edit, wParam, lParam, previous);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            OnPasswordEnter(edit);
            return 0;
        }
        break;
    case WM_DESTROY:
        RemovePropW(edit, kOldEditProc);
        break;
    default:
        break;
    }
    return CallPrevious(previous, edit, msg, wParam, lParam);
}

// ---- Creation ------------------------------------------------------------------------------

HWND CreatePanelChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                      DWORD exStyle = 0) {
    return CreateWindowExW(exStyle, className, text, WS_CHILD | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
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
    if (g_windows.list) {
        ClearItemList(g_windows.list);
        EnableWindow(g_windows.list, FALSE);
    }
}

void EnterUnlockMode() {
    const AppWindows& w = g_windows;
    ShowControls({w.lockImage, w.panelLabel, w.password, w.unlockForRun, w.unlockForGood}, SW_SHOW);
    ShowControls({w.confirmLabel, w.passwordConfirm, w.seal, w.cancelSeal}, SW_HIDE);
    EnableControls({w.password, w.unlockForRun, w.unlockForGood}, TRUE);
    ClearListBehindPanel();
    SetWindowTextW(w.panelLabel, kUnlockPrompt);
    SetWindowTextW(w.password, L"");
    SetFocus(w.password);
}

void EnterSetupMode() {
    const AppWindows& w = g_windows;
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
    const AppWindows& w = g_windows;
    ShowControls({w.lockImage, w.panelLabel, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel,
                  w.passwordConfirm, w.seal, w.cancelSeal},
                 SW_HIDE);
    if (w.list)
        EnableWindow(w.list, TRUE);
    EnableControls({w.password, w.passwordConfirm, w.unlockForRun, w.unlockForGood, w.seal, w.cancelSeal}, FALSE);
}

// Only the first label, saying why the tab shows nothing.
void EnterUnreadableMode(const TabSlot& slot) {
    const AppWindows& w = g_windows;
    ShowControls({w.panelLabel}, SW_SHOW);
    ShowControls({w.lockImage, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel, w.passwordConfirm, w.seal,
                  w.cancelSeal},
                 SW_HIDE);
    EnableControls({w.password, w.passwordConfirm, w.unlockForRun, w.unlockForGood, w.seal, w.cancelSeal}, FALSE);
    ClearListBehindPanel();
    SetWindowTextW(w.panelLabel, UnreadableTabText(slot).c_str());
    SetFocus(w.tabStrip); // nothing else there takes keys
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
    const TabSlot& slot = g_app.tabs[t];
    return PanelModeFor(t, slot.encrypted, g_app.encryptSetupTab, slot.unreadable);
}

// ---- ShowTab -------------------------------------------------------------------------------

void RedrawMainWindowNow() {
    RedrawWindow(g_windows.main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void SetListColumnText(int column, const wchar_t* text) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = const_cast<wchar_t*>(text);
    SendMessageW(g_windows.list, LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
}

void SetListHeaders(int t) {
    if (!g_windows.list || t < 0 || t >= kTabCount)
        return;
    SetListColumnText(0, FirstColumnHeader(t));
    SetListColumnText(1, ListHeaderText(g_app.tabs[t]).c_str());
}

void FinishShowTab(int t) {
    SelectTabInStrip(t);
    RedrawMainWindowNow();
}

void PutMemoPadText(const std::wstring& text) {
    // EN_CHANGE from this call must not be saved as the user's edit.
    g_app.settingMemoText = true;
    SetWindowTextW(g_windows.memoPad, text.c_str());
    g_app.settingMemoText = false;
}

// The memo pad is only a view of its tab's entry: hidden, or over a sealed tab, it holds
// nothing (another program could read it there).
void ClearMemoPad() {
    if (g_windows.memoPad && GetWindowTextLengthW(g_windows.memoPad) > 0)
        PutMemoPadText(std::wstring());
}

void ShowMemoPadTab(int t) {
    HWND memo = g_windows.memoPad;
    g_app.historyShown = false;

    const PanelMode mode = PanelModeOf(t);
    if (mode != PanelMode::Hidden) {
        // A sealed memo pad, or one being sealed, shows the panel over the list.
        ShowWindow(memo, SW_HIDE);
        ClearMemoPad();
        ShowWindow(g_windows.list, SW_SHOW);
        RedrawMainWindowNow();
        LayoutMainWindow(g_windows.main);
        EnterPanelMode(mode, g_app.tabs[t]);
        SetListHeaders(t);
        FinishShowTab(t);
        return;
    }

    HidePanel();
    // Every change the user made in it is already in its tab's entry. The list goes out of
    // sight with nothing in it: a key that reached it could not act on another tab's rows.
    ShowWindow(g_windows.list, SW_HIDE);
    ClearItemList(g_windows.list);
    ShowWindow(memo, SW_SHOW);
    LayoutMainWindow(g_windows.main);
    PutMemoPadText(MemoPadText(t, g_app.tabs[t]));
    SetFocus(memo);
    FinishShowTab(t);
}

void ShowListTab(int t) {
    HWND list = g_windows.list;
    if (list && g_windows.memoPad) {
        ShowWindow(g_windows.memoPad, SW_HIDE);
        ClearMemoPad();
        ShowWindow(list, SW_SHOW);
    }
    if (t < 0 || t >= kTabCount)
        return;

    g_app.historyShown = (t == kHistoryTab);
    if (list)
        ClearItemList(list);
    LayoutMainWindow(g_windows.main);

    const PanelMode mode = PanelModeOf(t);
    EnterPanelMode(mode, g_app.tabs[t]);
    if (mode == PanelMode::Hidden && list) {
        const std::vector<HistoryItem>& items = g_app.tabs[t].items;
        FillItemList(list, items);
        if (!items.empty()) {
            SetFocus(list);
            SelectListRow(list, 0);
        }
    }
    SetListHeaders(t);
    FinishShowTab(t);
}

} // namespace

void CreatePasswordPanel(HWND parent) {
    AppWindows& w = g_windows;
    w.lockImage = CreatePanelChild(parent, L"STATIC", L"", 0, 0);
    if (w.lockImage)
        SubclassWithProperty(w.lockImage, kOldStaticProc, LockPictureProc);

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
        if (edit)
            SubclassWithProperty(edit, kOldEditProc, PasswordEditProc);
}

void DestroyPasswordPanelProps() {
    // The previous procedures go back along with the properties: the edits and the picture are
    // destroyed after the main window's WM_DESTROY and must reach their own clean-up.
    Unsubclass(g_windows.password, kOldEditProc);
    Unsubclass(g_windows.passwordConfirm, kOldEditProc);
    Unsubclass(g_windows.lockImage, kOldStaticProc);
}

void FocusTabView(FocusCause cause) {
    const AppWindows& w = g_windows;
    const int t = g_app.currentTab;
    if (t < 0 || t >= kTabCount)
        return;
    switch (PanelModeOf(t)) {
    case PanelMode::Unlock:
    case PanelMode::Setup:
        SetFocus(w.password);
        return;
    case PanelMode::Unreadable:
        SetFocus(w.tabStrip);
        return;
    case PanelMode::Hidden:
        break;
    }
    if (g_app.tabs[t].type == TabType::MemoPad && t != kHistoryTab && w.memoPad) {
        // Right after Left or Right the strip keeps the keys, so the next arrow switches on.
        SetFocus(cause == FocusCause::TabSwitch ? w.tabStrip : w.memoPad);
        return;
    }
    if (!w.list)
        return;
    if (ListRowCount(w.list) > 0 && SelectedListRow(w.list) < 0)
        SelectListRow(w.list, 0);
    SetFocus(w.list);
}

void ShowTab(int t) {
    FlushMemoSeal(); // a pending seal belongs to the tab that was on screen
    const bool memoPadTab =
        g_windows.list && g_windows.memoPad && t >= 0 && t < kTabCount && g_app.tabs[t].type == TabType::MemoPad;
    if (memoPadTab)
        ShowMemoPadTab(t);
    else
        ShowListTab(t);
}

void LayoutPasswordPanel(HWND, int clientWidth, int clientHeight, int toolbarHeight) {
    const AppWindows& w = g_windows;
    if (!w.password || !w.panelLabel)
        return;

    const int dpi = MainWindowDpi();
    const bool setup = SetupInView();
    const PanelGeometry g = ComputePanelGeometry(clientWidth, clientHeight, toolbarHeight, dpi, setup);

    const auto place = [](HWND window, const ControlBox& box) {
        if (window)
            SetWindowPos(window, nullptr, box.x, box.y, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(w.lockImage, g.lockImage);
    ControlBox label = g.firstLabel;
    const int t = g_app.currentTab;
    if (t >= 0 && t < kTabCount && g_app.tabs[t].unreadable)
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

    const WPARAM font = reinterpret_cast<WPARAM>(g_app.listFont);
    for (HWND window : {w.memoPad, w.panelLabel, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel,
                        w.passwordConfirm, w.seal, w.cancelSeal})
        if (window)
            SendMessageW(window, WM_SETFONT, font, TRUE);
    for (HWND window : {w.lockImage, w.panelLabel, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel,
                        w.passwordConfirm, w.seal, w.cancelSeal})
        if (window && IsWindowVisible(window))
            InvalidateRect(window, nullptr, TRUE);
}
