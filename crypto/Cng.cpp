// Loads bcrypt.dll from the system folder and resolves the envelope's CNG functions.
#include "crypto/Cng.h"

#include <atomic>

namespace cng {
namespace {

// Null means no override: the loaded table is in force.
std::atomic<const Api*> activeOverride{nullptr};

bool IsComplete(const Api& api) {
    return api.OpenAlgorithmProvider && api.CloseAlgorithmProvider && api.GetProperty && api.SetProperty &&
           api.GenerateSymmetricKey && api.DestroyKey && api.Encrypt && api.Decrypt && api.GenRandom &&
           api.DeriveKeyPBKDF2 && api.CreateHash && api.HashData && api.FinishHash && api.DestroyHash;
}

// GetProcAddress gives a generic function pointer; going through void (*)() converts it to
// the real signature without a cast-function-type warning.
template <class Function> void Resolve(HMODULE module, const char* name, Function& out) {
    const FARPROC address = GetProcAddress(module, name);
    out = address ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address)) : nullptr;
}

Api Load() {
    Api api;
    // Only the system folder is searched: never the exe's folder, the current folder or PATH.
    // The module stays loaded for the life of the process, as the table points into it.
    const HMODULE module = LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module)
        return api;
    Resolve(module, "BCryptOpenAlgorithmProvider", api.OpenAlgorithmProvider);
    Resolve(module, "BCryptCloseAlgorithmProvider", api.CloseAlgorithmProvider);
    Resolve(module, "BCryptGetProperty", api.GetProperty);
    Resolve(module, "BCryptSetProperty", api.SetProperty);
    Resolve(module, "BCryptGenerateSymmetricKey", api.GenerateSymmetricKey);
    Resolve(module, "BCryptDestroyKey", api.DestroyKey);
    Resolve(module, "BCryptEncrypt", api.Encrypt);
    Resolve(module, "BCryptDecrypt", api.Decrypt);
    Resolve(module, "BCryptGenRandom", api.GenRandom);
    Resolve(module, "BCryptDeriveKeyPBKDF2", api.DeriveKeyPBKDF2);
    Resolve(module, "BCryptCreateHash", api.CreateHash);
    Resolve(module, "BCryptHashData", api.HashData);
    Resolve(module, "BCryptFinishHash", api.FinishHash);
    Resolve(module, "BCryptDestroyHash", api.DestroyHash);
    return api;
}

} // namespace

const Api* LoadedCng() {
    // Initialised once, on first use; C++11 makes concurrent first calls wait for it.
    static const Api loaded = Load();
    return IsComplete(loaded) ? &loaded : nullptr;
}

const Api* GetCng() {
    const Api* replaced = activeOverride.load(std::memory_order_acquire);
    if (!replaced)
        return LoadedCng();
    return IsComplete(*replaced) ? replaced : nullptr;
}

ScopedOverride::ScopedOverride(const Api& api)
    : api_(api), previous_(activeOverride.exchange(&api_, std::memory_order_acq_rel)) {}

ScopedOverride::~ScopedOverride() {
    activeOverride.store(previous_, std::memory_order_release);
}

} // namespace cng
