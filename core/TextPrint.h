// A 128-bit fingerprint of a text: how the history writer knows an entry it wrote before, and
// how a merge pairs the entries of three histories, without reading the texts a second time.
#pragma once

#include <cstdint>
#include <string_view>

struct TextPrint {
    uint64_t a = 0;
    uint64_t b = 0;
    bool operator==(const TextPrint& o) const { return a == o.a && b == o.b; }
    bool operator!=(const TextPrint& o) const { return !(*this == o); }
};

// Texts of one length that differ in a single place always differ here (each step is one-to-one in
// the lane it feeds); any other two differ but by a chance of about 2^-128.
TextPrint Fingerprint(std::wstring_view text);
