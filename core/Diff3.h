// The three-way merge of sequences that the template lists, the memo lists and the memo pad
// share: each element stands as a number (equal numbers, equal elements), compared with a
// Myers diff and merged the way diff3 merges lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

using Symbols = std::vector<uint32_t>;

// A stretch that two sequences share: a[a, a + length) equals b[b, b + length).
struct CommonRun {
    size_t a = 0;
    size_t b = 0;
    size_t length = 0;
};

// The stretches of a longest common subsequence of a and b, in order (Myers' O((N+M)D) diff
// in linear space).
std::vector<CommonRun> CommonRuns(const Symbols& a, const Symbols& b);

// What the two sequences share, as one sequence: a base for a merge that keeps all of both.
Symbols CommonSymbols(const Symbols& a, const Symbols& b);

enum class MergeSide : uint8_t { Ours, Theirs };

// One stretch of the merged sequence: side's elements [begin, end).
struct MergePiece {
    MergeSide side = MergeSide::Ours;
    size_t begin = 0;
    size_t end = 0;
};

// The merge of ours and theirs against base, as stretches to copy: a stretch changed on one
// side only comes from that side; where both changed it differently both versions stand,
// ours first, with the elements both begin or end with written once. Nothing is dropped.
std::vector<MergePiece> MergeSymbols(const Symbols& base, const Symbols& ours, const Symbols& theirs);

// Gives each distinct key a number, in the order first seen.
template <typename Key, typename Hash = std::hash<Key>> class SymbolTable {
public:
    uint32_t Of(const Key& key) { return ids_.try_emplace(key, static_cast<uint32_t>(ids_.size())).first->second; }

    template <typename Sequence, typename KeyOf> Symbols Of(const Sequence& sequence, KeyOf keyOf) {
        Symbols symbols;
        symbols.reserve(sequence.size());
        for (const auto& element : sequence)
            symbols.push_back(Of(keyOf(element)));
        return symbols;
    }

private:
    std::unordered_map<Key, uint32_t, Hash> ids_;
};
