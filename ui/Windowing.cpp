#include "ui/Windowing.h"

#include <cwchar>

#include "ui/WinHandles.h"

#include <atomic>

namespace {

int g_layoutDpi = 0;
std::atomic<int> g_popupMenusOpen{0}; // read by the hook thread too

} // namespace

HINSTANCE ProgramInstance() {
    return GetModuleHandleW(nullptr);
}

std::wstring WindowText(HWND window) {
    const int length = window ? GetWindowTextLengthW(window) : 0;
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

void CopyEditSelectionAsSecret(HWND edit, bool cut, const SecretCopy& copy) {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const std::wstring text = WindowText(edit);
    if (start >= end || end > text.size())
        return; // nothing selected: the control copies nothing either
    if (copy(text.substr(start, end - start)) && cut)
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
}

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
    UniqueWindowDC dc(window);
    const int dpi = dc ? GetDeviceCaps(dc.get(), LOGPIXELSX) : 96;
    return dpi > 0 ? dpi : 96;
}

int LayoutDpi() {
    if (g_layoutDpi <= 0)
        g_layoutDpi = WindowDpi(nullptr);
    return g_layoutDpi;
}

void SetLayoutDpi(int dpi) {
    g_layoutDpi = dpi;
}

int ScaleToLayout(int size96) {
    return MulDiv(size96, LayoutDpi(), 96);
}

bool Subclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    return window && SetWindowSubclass(window, procedure, id, data);
}

LRESULT EndSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, UINT message, WPARAM wParam, LPARAM lParam) {
    RemoveWindowSubclass(window, procedure, id);
    return DefSubclassProc(window, message, wParam, lParam);
}

UINT TrackOwnPopupMenu(HMENU menu, POINT at, HWND owner) {
    ++g_popupMenusOpen;
    const UINT chosen =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr));
    --g_popupMenusOpen;
    return chosen;
}

bool OwnPopupMenuOpen() {
    return g_popupMenusOpen > 0;
}

bool IsDialogOnScreen(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return IsWindowVisible(window) && wcscmp(className, L"#32770") == 0;
}

HWND CreateAccessibleLabel(HWND parent, const wchar_t* name) {
    // WS_CHILD without WS_VISIBLE: never drawn, never in the way of the mouse.
    return CreateWindowExW(0, L"STATIC", name, WS_CHILD, 0, 0, 0, 0, parent, nullptr, ProgramInstance(), nullptr);
}
