// One owner per window-side handle: std::unique_ptr aliases with deleters (GDI objects,
// menus, hooks, image lists) and scoped guards (GetDC, BeginPaint, SelectObject). Naming
// follows wil's resource.h. Guards are non-copyable so nothing is released twice.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <type_traits>

namespace window_detail {
struct GdiObjectDeleter {
    void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct MenuDestroyer {
    void operator()(HMENU h) const { DestroyMenu(h); }
};
struct HookRemover {
    void operator()(HHOOK h) const { UnhookWindowsHookEx(h); }
};
struct WinEventHookRemover {
    void operator()(HWINEVENTHOOK h) const { UnhookWinEvent(h); }
};
struct ImageListDestroyer {
    void operator()(HIMAGELIST h) const { ImageList_Destroy(h); }
};
} // namespace window_detail

using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, window_detail::GdiObjectDeleter>;
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, window_detail::GdiObjectDeleter>;
using UniquePen = std::unique_ptr<std::remove_pointer_t<HPEN>, window_detail::GdiObjectDeleter>;
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, window_detail::MenuDestroyer>;
using UniqueHook = std::unique_ptr<std::remove_pointer_t<HHOOK>, window_detail::HookRemover>;
using UniqueWinEventHook = std::unique_ptr<std::remove_pointer_t<HWINEVENTHOOK>, window_detail::WinEventHookRemover>;
using UniqueImageList = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, window_detail::ImageListDestroyer>;

// A font that may be the system's own (GetStockObject): only one the program made is deleted.
class ListFontOwner {
public:
    ListFontOwner() = default;
    ~ListFontOwner() { Reset(nullptr); }
    ListFontOwner(const ListFontOwner&) = delete;
    ListFontOwner& operator=(const ListFontOwner&) = delete;

    HFONT get() const { return font_; }
    // Takes `font` (a stock font is borrowed, any other owned) and deletes the previous one.
    void Reset(HFONT font) {
        if (font_ && font_ != font && font_ != static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)))
            DeleteObject(font_);
        font_ = font;
    }

private:
    HFONT font_ = nullptr;
};

// A window's device context from GetDC, given back with ReleaseDC.
class UniqueWindowDC {
public:
    explicit UniqueWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~UniqueWindowDC() {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    UniqueWindowDC(const UniqueWindowDC&) = delete;
    UniqueWindowDC& operator=(const UniqueWindowDC&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint ... EndPaint for one WM_PAINT.
class UniquePaintDC {
public:
    explicit UniquePaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~UniquePaintDC() { EndPaint(window_, &paint_); }
    UniquePaintDC(const UniquePaintDC&) = delete;
    UniquePaintDC& operator=(const UniquePaintDC&) = delete;

    HDC get() const { return dc_; }
    const PAINTSTRUCT& paint() const { return paint_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back. A null object selects nothing.
class UniqueSelectObject {
public:
    UniqueSelectObject(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~UniqueSelectObject() {
        if (previous_ && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
    }
    UniqueSelectObject(const UniqueSelectObject&) = delete;
    UniqueSelectObject& operator=(const UniqueSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
