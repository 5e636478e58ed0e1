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

int ScaleForWindow(HWND window, int size96) {
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc)
        ReleaseDC(window, dc);
    return MulDiv(size96, dpi, 96);
}
