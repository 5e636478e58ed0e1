// The CNG functions the envelope uses, reached through a table loaded at run time.
//
// bcrypt.dll is not one of the DLLs every process maps from the system folder first, so an
// exe that imported it by name would load a bcrypt.dll planted beside it (in Downloads, say).
// The table is filled once, from the system folder only (LOAD_LIBRARY_SEARCH_SYSTEM32), and
// GetCng() gives null when the library or any of its functions cannot be loaded: every
// caller then fails closed.
#pragma once

#include <windows.h>
#include <bcrypt.h>

namespace cng {

// decltype keeps each pointer's type equal to the declaration in <bcrypt.h>; nothing here
// refers to the import library.
struct Api {
    decltype(&::BCryptOpenAlgorithmProvider) OpenAlgorithmProvider = nullptr;
    decltype(&::BCryptCloseAlgorithmProvider) CloseAlgorithmProvider = nullptr;
    decltype(&::BCryptGetProperty) GetProperty = nullptr;
    decltype(&::BCryptSetProperty) SetProperty = nullptr;
    decltype(&::BCryptGenerateSymmetricKey) GenerateSymmetricKey = nullptr;
    decltype(&::BCryptDestroyKey) DestroyKey = nullptr;
    decltype(&::BCryptEncrypt) Encrypt = nullptr;
    decltype(&::BCryptDecrypt) Decrypt = nullptr;
    decltype(&::BCryptGenRandom) GenRandom = nullptr;
    decltype(&::BCryptDeriveKeyPBKDF2) DeriveKeyPBKDF2 = nullptr;
    decltype(&::BCryptCreateHash) CreateHash = nullptr;
    decltype(&::BCryptHashData) HashData = nullptr;
    decltype(&::BCryptFinishHash) FinishHash = nullptr;
    decltype(&::BCryptDestroyHash) DestroyHash = nullptr;
};

// The table in force: a test's override when one is active, else the one loaded from the
// system folder. Null when a function is missing from it. Safe to call from any thread.
const Api* GetCng();

// The table loaded from the system's bcrypt.dll (loaded on first use, kept for the life of
// the process), or null when it could not be loaded in full. Tests start their overrides from
// a copy of it.
const Api* LoadedCng();

// For tests: puts a copy of api in force until the object goes out of scope, so a test can
// make the platform's generator or hash fail. A table with any null function behaves like a
// system without CNG. Overrides nest; end them in reverse order, on the thread that made them,
// while no envelope operation is running.
class ScopedOverride {
public:
    explicit ScopedOverride(const Api& api);
    ~ScopedOverride();
    ScopedOverride(const ScopedOverride&) = delete;
    ScopedOverride& operator=(const ScopedOverride&) = delete;

private:
    Api api_;
    const Api* previous_;
};

} // namespace cng
