// What the fuzzer's input makers share: a random source that repeats for a seed, seeds read as
// text, lines with their ends, odd units, and the ways a file's text is encoded and damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}

    uint64_t Next() { // splitmix64
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t bound) { return bound == 0 ? 0 : static_cast<size_t>(Next() % bound); }
    bool OneIn(size_t n) { return Below(n) == 0; }
    // A length that is mostly small and now and then large.
    size_t Length(size_t typical, size_t rare) { return OneIn(50) ? Below(rare + 1) : Below(typical + 1); }
    template <class T> const T& Pick(const std::vector<T>& from) { return from[Below(from.size())]; }
    template <class T, size_t N> const T& Pick(const T (&from)[N]) { return from[Below(N)]; }

private:
    uint64_t state_;
};

using Seeds = std::vector<std::string>;

// A unit or a short sequence that readers and folding treat specially (NUL, lone surrogates,
// byte order marks, voiced marks, line breaks, full-width and half-width forms, ...).
std::wstring OddPiece(Rng& rng);

// A seed file as text: UTF-8 with or without a byte order mark (leniently decoded).
std::wstring SeedText(const std::string& bytes);

// A text of `pieces` seed slices and odd pieces.
std::wstring MixedText(Rng& rng, const Seeds& seeds, size_t pieces);

struct Line {
    std::wstring text;
    std::wstring end; // CR LF, LF, CR, or nothing for the last line
};
using Document = std::vector<Line>;

// Splits at CR LF, LF and a lone CR, keeping each line's end.
Document Lines(std::wstring_view text);
std::wstring Joined(const Document& lines);

// CR LF mostly; LF, CR, CR CR LF, LF CR or none now and then.
std::wstring LineEnd(Rng& rng);

// One change every text file takes: a line deleted, doubled or moved, another line end, an odd
// unit, lines of another seed, blanks at a line's end, a very long line.
void MutateLines(Document& doc, Rng& rng, const Seeds& seeds);

// A text as a file may hold it: UTF-8 with or without a byte order mark, the system code page,
// or UTF-16 as Notepad's "Unicode".
std::string Encoded(const std::wstring& text, Rng& rng);

// Damage at the byte level: invalid UTF-8, NULs, changed bytes, a cut, trailing blanks.
void MutateBytes(std::string& bytes, Rng& rng);
