#include "app/AppContext.h"

#include "app/Saving.h"

AppState g_app;
AppWindows g_windows;
LockPictures g_lockPictures;
HINSTANCE g_instance = nullptr;

bool SaveLiveHistory() {
    return SaveSlot(kHistoryTab);
}

std::wstring WindowText(HWND window) {
    const int length = window ? GetWindowTextLengthW(window) : 0;
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

namespace {

int g_mainWindowDpi = 0;

} // namespace

int WindowDpi(HWND window) {
    // Windows 10 1607 and later; looked up so that older systems still start.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 ? reinterpret_cast<GetDpiForWindowFunction>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                      : nullptr;
    }();
    if (dpiForWindow && window)
        if (const UINT dpi = dpiForWindow(window))
            return static_cast<int>(dpi);
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc)
        ReleaseDC(window, dc);
    return dpi > 0 ? dpi : 96;
}

int MainWindowDpi() {
    if (g_mainWindowDpi <= 0)
        g_mainWindowDpi = WindowDpi(g_windows.main);
    return g_mainWindowDpi;
}

void SetMainWindowDpi(int dpi) {
    g_mainWindowDpi = dpi;
}

int ScaleForWindow(HWND, int size96) {
    return MulDiv(size96, MainWindowDpi(), 96);
}

void ReplaceListFont(HFONT font) {
    if (!font)
        return;
    // The old font goes only once no window draws with it any more.
    HFONT old = g_app.listFont;
    g_app.listFont = font;
    const WPARAM wParam = reinterpret_cast<WPARAM>(font);
    const AppWindows& w = g_windows;
    for (HWND window : {w.list, w.tabStrip, w.memoPad})
        if (window)
            SendMessageW(window, WM_SETFONT, wParam, TRUE);
    if (w.memoPad)
        InvalidateRect(w.memoPad, nullptr, TRUE);
    for (HWND window : {w.panelLabel, w.password, w.unlockForRun, w.unlockForGood, w.confirmLabel, w.passwordConfirm,
                        w.seal, w.cancelSeal})
        if (window)
            SendMessageW(window, WM_SETFONT, wParam, IsWindowVisible(window));
    if (old && old != font && old != static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)))
        DeleteObject(old);
}
