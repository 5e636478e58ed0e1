// One owner per handle: std::unique_ptr aliases with deleters, and scoped guards.
// Naming follows wil's resource.h. Guards are non-copyable so nothing is released twice.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace unique_detail {
struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};
} // namespace unique_detail

// A kernel handle (file, mutex, event). INVALID_HANDLE_VALUE counts as none.
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, unique_detail::HandleCloser>;

inline UniqueHandle MakeUniqueFileHandle(HANDLE h) {
    return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

// GDI objects and menus.
namespace unique_detail {
struct GdiObjectDeleter {
    void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct MenuDestroyer {
    void operator()(HMENU h) const { DestroyMenu(h); }
};
} // namespace unique_detail

using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, unique_detail::GdiObjectDeleter>;
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, unique_detail::GdiObjectDeleter>;
using UniquePen = std::unique_ptr<std::remove_pointer_t<HPEN>, unique_detail::GdiObjectDeleter>;
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, unique_detail::MenuDestroyer>;

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
