#include "app/AppContext.h"

#include "storage/HistoryFile.h"

AppState g_app;
AppWindows g_windows;
LockPictures g_lockPictures;
HINSTANCE g_instance = nullptr;

void SaveLiveHistory() {
    const TabSlot& history = g_app.tabs[kHistoryTab];
    if (history.encrypted)
        return;
    AppLogic::SaveHistory(history.items, g_app.MaxHistory, !history.password.empty(), history.password);
}

int ScaleForWindow(HWND window, int size96) {
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc)
        ReleaseDC(window, dc);
    return MulDiv(size96, dpi, 96);
}
