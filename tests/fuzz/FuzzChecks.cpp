#include "fuzz/FuzzChecks.h"

#include "fuzz/FuzzTargets.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<uint64_t> g_randomState{0x9E3779B97F4A7C15ull};

NTSTATUS WINAPI SeededGenRandom(BCRYPT_ALG_HANDLE, PUCHAR buffer, ULONG size, ULONG) {
    uint64_t x = g_randomState.load();
    for (ULONG i = 0; i < size; ++i) { // xorshift64
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        buffer[i] = static_cast<UCHAR>(x >> 32);
    }
    g_randomState.store(x);
    return 0;
}

NTSTATUS WINAPI OneRoundPbkdf2(BCRYPT_ALG_HANDLE prf, PUCHAR password, ULONG passwordBytes, PUCHAR salt,
                               ULONG saltBytes, ULONGLONG, PUCHAR key, ULONG keyBytes, ULONG flags) {
    return cng::LoadedCng()->DeriveKeyPBKDF2(prf, password, passwordBytes, salt, saltBytes, 1, key, keyBytes, flags);
}

uint64_t Fnv1a(std::string_view bytes) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    return hash;
}

} // namespace

std::string Shown(std::wstring_view text, size_t limit) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const unsigned c = text[i];
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buffer[12];
            snprintf(buffer, sizeof(buffer), "\\u%04X", c);
            out += buffer;
        }
    }
    if (text.size() > limit)
        out += "... (" + std::to_string(text.size()) + " units)";
    return out;
}

std::string Shown(const HistoryItem& item) {
    std::string out = "{";
    if (!item.label.empty())
        out += "label \"" + Shown(item.label, 40) + "\" ";
    if (item.locked)
        out += "[L]";
    if (item.used)
        out += "[C]";
    return out + "\"" + Shown(item.text, 60) + "\"}";
}

std::string Number(long long value) {
    return std::to_string(value);
}

FuzzEnvironment::FuzzEnvironment() {
    const cng::Api* loaded = cng::LoadedCng();
    if (!loaded)
        return;
    cng::Api api = *loaded;
    api.GenRandom = SeededGenRandom;
    api.DeriveKeyPBKDF2 = OneRoundPbkdf2;
    override_ = std::make_unique<cng::ScopedOverride>(api);
}

FuzzEnvironment::~FuzzEnvironment() = default;

void SeedFuzzRandom(uint64_t seed) {
    g_randomState.store(seed ? seed : 1);
}

std::string CheckCase(const FuzzCase& input) {
    SeedFuzzRandom(Fnv1a(SerializeParts(input.parts)));
    switch (input.target) {
    case FuzzTarget::Items:
        return CheckItems(input);
    case FuzzTarget::Settings:
        return CheckSettings(input);
    case FuzzTarget::Envelope:
        return CheckEnvelope(input);
    case FuzzTarget::Filter:
        return CheckFilter(input);
    case FuzzTarget::Clipboard:
        return CheckClipboard(input);
    }
    return "unknown target";
}
