#include "app/MessageLoop.h"

#include "app/App.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"
#include "ui/FilterBox.h"
#include "ui/Ids.h"
#include "ui/ListActions.h"

namespace {

// Left and Right switch tabs anywhere in the window except inside the memo pad and the filter
// box, where they move the caret.
bool SwitchTabsByArrow(const MSG& message) {
    if (message.message != WM_KEYDOWN || (message.wParam != VK_LEFT && message.wParam != VK_RIGHT))
        return false;
    HWND memoPad = ViewWindows().memoPad;
    if ((memoPad && GetFocus() == memoPad) || FilterBoxHasFocus())
        return false;
    const int current = AppView().currentTab;
    const int t = message.wParam == VK_LEFT ? (current <= 0 ? kTabCount - 1 : current - 1)
                                            : (current >= kTabCount - 1 ? 0 : current + 1);
    SwitchToTab(t);
    return true;
}

// Ctrl+F anywhere in the tool window opens the filter line (where the tab has a list of
// entries).
bool OpenFilterByKey(HWND active, const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != 'F' || active != MainWindowHandle())
        return false;
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0)
        return false;
    OpenFilter();
    return true;
}

// The tool window is no dialog: its command ids 1 and 2 are F1 and F2, which the dialog
// manager would send for Enter and Esc (IDOK, IDCANCEL). Of its navigation only Tab is used.
bool ForDialogManager(HWND active, const MSG& message) {
    if (active != MainWindowHandle())
        return true;
    const bool key = message.message == WM_KEYDOWN || message.message == WM_KEYUP || message.message == WM_CHAR;
    return key && message.wParam == VK_TAB; // the character '\t' has the same value
}

void HandleMessage(MSG& message) {
    if (SwitchTabsByArrow(message))
        return;
    HWND active = GetActiveWindow();
    if (OpenFilterByKey(active, message))
        return;
    if (active && ForDialogManager(active, message) && IsDialogMessageW(active, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

} // namespace

int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        HandleMessage(message);
    return static_cast<int>(message.wParam);
}

void DeliverQueuedKeys() {
    MSG message;
    // TranslateMessage posts the WM_CHAR of each key down, which the next round takes.
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        if (message.message == WM_QUIT) { // PeekMessage returns it whatever the range: the loop must still see it
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        HandleMessage(message);
    }
}

bool StandsForLaterInput(UINT message, UINT showRequest) {
    switch (message) {
    case WM_HOTKEY:
    case WM_APP_TRAY:
    case WM_APP_SHOW:
    case WM_APP_HIDE:
    case WM_APP_ESCAPE:
    case WM_APP_TAB_KEY:
    case WM_APP_KEY_COMMAND:
        return true;
    default:
        return message == showRequest && showRequest != 0;
    }
}
