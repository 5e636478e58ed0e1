// One owner per kernel handle (a file, a mutex, an event). The window side's owners (GDI
// objects, menus, device contexts, hooks) are in ui/WinHandles.h.
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
