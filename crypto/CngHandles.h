// Owners of CNG handles: std::unique_ptr aliases whose deleters release through the table of
// crypto/Cng.h, the same one the handles were made with.
#pragma once

#include "crypto/Cng.h"

#include <memory>

namespace cng_detail {
struct AlgCloser {
    void operator()(BCRYPT_ALG_HANDLE h) const {
        if (const cng::Api* api = cng::GetCng())
            api->CloseAlgorithmProvider(h, 0);
    }
};
struct KeyDestroyer {
    void operator()(BCRYPT_KEY_HANDLE h) const {
        if (const cng::Api* api = cng::GetCng())
            api->DestroyKey(h);
    }
};
struct HashDestroyer {
    void operator()(BCRYPT_HASH_HANDLE h) const {
        if (const cng::Api* api = cng::GetCng())
            api->DestroyHash(h);
    }
};
} // namespace cng_detail

using UniqueBCryptAlg = std::unique_ptr<void, cng_detail::AlgCloser>;
using UniqueBCryptKey = std::unique_ptr<void, cng_detail::KeyDestroyer>;
using UniqueBCryptHash = std::unique_ptr<void, cng_detail::HashDestroyer>;
