#include "app/Visibility.h"

#include "app/Activation.h"
#include "app/App.h"
#include "app/QueueMode.h"
#include "app/InputHooks.h"
#include "app/WindowSettings.h"
#include "tabs/TabFiles.h"
#include "tabs/TabLock.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"
#include "ui/ItemList.h"
#include "ui/ListActions.h"
#include "ui/WindowPlacement.h"

namespace {

constexpr uint64_t kTrayClickAfterAutoHideMs = 250;

uint64_t g_lastAutoHide = 0; // when the window last hid because it lost activation

// The dialog or message box of ours that has the keyboard (the enabled one when a message
// box sits over a dialog); null when none is open.
BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found) {
    if (IsDialogOnScreen(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

void FocusContent() {
    FocusTabView(FocusCause::Show);
}

void ShowMainWindow(int showCommand) {
    HWND main = MainWindowHandle();
    if (!IsWindowVisible(main)) {
        // A monitor since removed, absurd values in a hand-edited settings.ini.
        RECT rect;
        GetWindowRect(main, &rect);
        const WindowRect current{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
        const WindowRect reachable = ReachableRectOnThisDesktop(current);
        if (!(reachable == current))
            SetWindowPos(main, nullptr, reachable.x, reachable.y, reachable.width, reachable.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(main, showCommand);
}

void HideMainWindow() {
    FlushMemoSave();
    SaveSettingsWithWindowRect();
    ShowWindow(MainWindowHandle(), SW_HIDE);
}

void ShowToolWindow() {
    HWND main = MainWindowHandle();
    CancelPaste();
    RememberPreviousWindow(GetForegroundWindow());
    const bool stayVisible = AppData().StayVisible;
    if (!IsWindowVisible(main))
        ShowMainWindow(stayVisible ? SW_SHOWNA : SW_SHOW);
    if (stayVisible)
        return;
    SetForegroundWindow(main);
    FocusContent();
}

bool BringOwnDialogForward(HWND window) {
    if (!OwnDialogOpen(window))
        return false;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog)
        return false;
    if (!IsWindowVisible(window))
        ShowMainWindow(SW_SHOWNA);
    SetForegroundWindow(dialog);
    return true;
}

void OnEscape(HWND window) {
    if (EndQueueMode())
        return; // 連続貼り付け ends at once; the clipboard keeps what it holds
    HWND memoPad = ViewWindows().memoPad;
    if (memoPad && GetFocus() == memoPad && TabStripWindow()) {
        SetFocus(TabStripWindow());
        // A move of the keyboard's: the strip shows where the focus went, even when the mouse was
        // used last (which hides focus marks).
        SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        return;
    }
    if (OnFilterEscape())
        return;
    if (IsWindowVisible(window))
        HideMainWindow();
}

namespace {

// Shown and in front, over the window the user works in, which becomes the paste target.
void ShowInFront(HWND window) {
    CancelPaste();
    RememberPreviousWindow(GetForegroundWindow());
    ShowMainWindow(SW_SHOW);
    SetForegroundWindow(window);
    FocusContent();
}

} // namespace

void OnHotkey(HWND window) {
    if (BringOwnDialogForward(window))
        return;
    if (IsWindowVisible(window)) {
        HideMainWindow();
        return;
    }
    ShowInFront(window);
}

void OnShowRequest(HWND window) {
    if (!BringOwnDialogForward(window))
        ShowInFront(window);
}

void OnEdgeShow(HWND window, HWND foreground) {
    CancelPaste();
    RememberPreviousWindow(foreground); // in front when the edge was clicked
    if (!IsWindowVisible(window))
        ShowMainWindow(SW_SHOWNORMAL);
    // A zero move counts as input, which lets this process take the foreground.
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof(input));
    SetForegroundWindow(window);
    FocusContent();
}

LRESULT OnActivate(HWND window, WPARAM wParam, LPARAM lParam) {
    HWND other = reinterpret_cast<HWND>(lParam);
    if (LOWORD(wParam) != WA_INACTIVE) {
        RememberPreviousWindow(other);
        FocusContent();
        return 0;
    }
    DWORD otherProcess = 0;
    if (other)
        GetWindowThreadProcessId(other, &otherProcess);
    HWND popup = GetWindow(window, GW_ENABLEDPOPUP);
    if (otherProcess == GetCurrentProcessId() || (popup && popup != window))
        return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam);
    if (AppView().encryptSetupTab != -1) {
        CancelEncryptionSetup();
        ShowTab(AppView().currentTab);
    }
    // A paste hands the front to its target and hides the window itself once the keys are sent:
    // hidden now, while it is still the window being left, it would hand the front on to
    // whatever lies next below it (a flyout, say) instead.
    if (!AppData().StayVisible && !PasteUnderWay()) {
        HideMainWindow();
        g_lastAutoHide = GetTickCount64();
    }
    return 0;
}

// Every show starts at the top. The focus follows the activation (WM_ACTIVATE), which a
// window shown without taking the foreground does not get.
void OnShowWindow(BOOL shown) {
    if (!shown) {
        CloseFilter(); // whichever way the window goes out of sight
        return;
    }
    // The F-keys, Esc and the click outside work only while the hooks are in; Windows may have
    // dropped them at any time since the last show.
    ReinstallInputHooks();
    HWND list = ListWindow();
    // The window itself is not visible yet: the list's own style tells whether it is in view.
    const bool listInView = (GetWindowLongPtrW(list, GWL_STYLE) & WS_VISIBLE) != 0;
    if (listInView && IsWindowEnabled(list) && ListRowCount(list) > 0)
        SelectListRow(list, 0, true);
}

void OnTrayClick(HWND window) {
    // The click that deactivated the window has just hidden it: don't show it again.
    if (GetTickCount64() - g_lastAutoHide < kTrayClickAfterAutoHideMs)
        return;
    if (BringOwnDialogForward(window))
        return;
    if (IsWindowVisible(window))
        HideMainWindow();
    else
        ShowToolWindow();
}
