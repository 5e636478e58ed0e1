#include "app/AppContext.h"

AppState g_app;
AppWindows g_windows;
LockPictures g_lockPictures;
HINSTANCE g_instance = nullptr;

int ScaleForWindow(HWND window, int size96) {
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc)
        ReleaseDC(window, dc);
    return MulDiv(size96, dpi, 96);
}
