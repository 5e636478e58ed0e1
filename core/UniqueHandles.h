// One owner per handle: std::unique_ptr aliases with deleters, and scoped guards.
// Naming follows wil's resource.h. Guards are non-copyable so nothing is released twice.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <memory>
#include <type_traits>

namespace unique_detail {
struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};
struct BCryptAlgCloser {
    void operator()(BCRYPT_ALG_HANDLE h) const { BCryptCloseAlgorithmProvider(h, 0); }
};
struct BCryptKeyDestroyer {
    void operator()(BCRYPT_KEY_HANDLE h) const { BCryptDestroyKey(h); }
};
struct BCryptHashDestroyer {
    void operator()(BCRYPT_HASH_HANDLE h) const { BCryptDestroyHash(h); }
};
} // namespace unique_detail

// A kernel handle (file, mutex, event). INVALID_HANDLE_VALUE counts as none.
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, unique_detail::HandleCloser>;
using UniqueBCryptAlg = std::unique_ptr<void, unique_detail::BCryptAlgCloser>;
using UniqueBCryptKey = std::unique_ptr<void, unique_detail::BCryptKeyDestroyer>;
using UniqueBCryptHash = std::unique_ptr<void, unique_detail::BCryptHashDestroyer>;

inline UniqueHandle MakeUniqueFileHandle(HANDLE h) {
    return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}
