#include "core/TextPrint.h"

#include <cstring>

namespace {

uint64_t Mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    return x ^ (x >> 33);
}

uint64_t Unit(const wchar_t* p) {
    return static_cast<uint16_t>(*p);
}

// Four UTF-16 units as they lie in memory.
uint64_t Word(const wchar_t* p) {
    static_assert(sizeof(wchar_t) == 2, "texts are UTF-16");
    uint64_t word;
    std::memcpy(&word, p, sizeof(word));
    return word;
}

} // namespace

// Four lanes of 64 bits over sixteen units at a time, so that the multiplications do not wait
// for each other; folded into 128 bits at the end.
TextPrint Fingerprint(std::wstring_view text) {
    constexpr uint64_t kPrime = 0x9FB21C651E98DF25ull;
    uint64_t lane[4] = {0x9E3779B97F4A7C15ull ^ text.size(), 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                        0x27D4EB2F165667C5ull};
    const wchar_t* p = text.data();
    size_t n = text.size();
    for (; n >= 16; n -= 16, p += 16)
        for (int k = 0; k < 4; ++k)
            lane[k] = (lane[k] ^ Word(p + 4 * k)) * kPrime;
    for (int k = 0; n > 0; --n, ++p, k = (k + 1) & 3)
        lane[k] = (lane[k] ^ Unit(p)) * kPrime;
    return {Mix(lane[0] ^ Mix(lane[1])), Mix(lane[2] ^ Mix(lane[3] + text.size()))};
}
