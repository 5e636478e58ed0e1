#include "app/App.h"

#include "tabs/TabStrip.h"
#include "tabs/TabView.h"
#include "ui/FilterBox.h"
#include "ui/ItemList.h"
#include "ui/WinHandles.h"

namespace {

AppState g_data;
ViewState g_view;
HWND g_main = nullptr;
HWND g_list = nullptr;
ListFontOwner g_listFont;
LockPictures g_pictures;

} // namespace

AppState& AppData() {
    return g_data;
}

ViewState& AppView() {
    return g_view;
}

HWND MainWindowHandle() {
    return g_main;
}

HWND ListWindow() {
    return g_list;
}

void SetMainWindows(HWND main, HWND list) {
    g_main = main;
    g_list = list;
}

std::vector<HistoryItem>& EntriesInView() {
    return ItemsInView(g_data.tabs, g_view);
}

void RefillList() {
    FillItemList(g_list, EntriesInView(), g_view.historyShown, g_data.HistoryLimit);
}

HFONT ListFont() {
    if (!g_listFont.get())
        g_listFont.Reset(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    return g_listFont.get();
}

void ReplaceListFont(HFONT font) {
    if (!font)
        return;
    const WPARAM wParam = reinterpret_cast<WPARAM>(font);
    const TabViewWindows& w = ViewWindows();
    for (HWND window : {g_list, TabStripWindow(), w.memoPad})
        if (window)
            SendMessageW(window, WM_SETFONT, wParam, TRUE);
    SetFilterBoxFont(font);
    if (w.memoPad)
        InvalidateRect(w.memoPad, nullptr, TRUE);
    for (HWND window : {w.panelLabel, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel, w.passwordConfirm,
                        w.seal, w.cancelSeal})
        if (window)
            SendMessageW(window, WM_SETFONT, wParam, IsWindowVisible(window));
    g_listFont.Reset(font); // the old font goes only now that no window draws with it
}

void ReleaseListFont() {
    g_listFont.Reset(nullptr);
}

LockPictures& Pictures() {
    return g_pictures;
}
