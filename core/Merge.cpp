// The template and memo lists and the memo pad: three-way merges of sequences (core/Diff3.h),
// of entries and of lines.
#include "core/Merge.h"

#include "core/Diff3.h"
#include "core/Text.h"

#include <functional>
#include <initializer_list>

namespace {

// An entry as the lists compare it: all it holds, the id aside.
struct EntryKey {
    std::wstring_view text;
    std::wstring_view label;
    bool used;
    bool locked;

    bool operator==(const EntryKey& o) const {
        return text == o.text && label == o.label && used == o.used && locked == o.locked;
    }
};

struct EntryKeyHash {
    size_t operator()(const EntryKey& key) const {
        const std::hash<std::wstring_view> hash;
        return hash(key.text) ^ (hash(key.label) * 31) ^ (key.used ? 0x5bd1e995u : 0) ^ (key.locked ? 0x27d4eb2du : 0);
    }
};

EntryKey KeyOf(const HistoryItem& item) {
    return {item.text, item.label, item.used, item.locked};
}

std::wstring_view Itself(std::wstring_view line) {
    return line;
}

// The three-way merge of two sequences of elements; without a base, the base is what both share,
// so that every element of either side stays.
template <typename Key, typename Hash, typename T, typename KeyOfElement>
std::vector<T> MergeSequences(const std::vector<T>* base, const std::vector<T>& ours, const std::vector<T>& theirs,
                              KeyOfElement keyOf) {
    SymbolTable<Key, Hash> table;
    const Symbols oursSymbols = table.Of(ours, keyOf);
    const Symbols theirsSymbols = table.Of(theirs, keyOf);
    const Symbols baseSymbols = base ? table.Of(*base, keyOf) : CommonSymbols(oursSymbols, theirsSymbols);
    std::vector<T> merged;
    for (const MergePiece& piece : MergeSymbols(baseSymbols, oursSymbols, theirsSymbols)) {
        const std::vector<T>& from = piece.side == MergeSide::Ours ? ours : theirs;
        merged.insert(merged.end(), from.begin() + piece.begin, from.begin() + piece.end);
    }
    return merged;
}

std::vector<HistoryItem> MergeEntries(const std::vector<HistoryItem>* base, const std::vector<HistoryItem>& ours,
                                      const std::vector<HistoryItem>& theirs) {
    return MergeSequences<EntryKey, EntryKeyHash>(base, ours, theirs, KeyOf);
}

std::vector<std::wstring_view> Lines(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    ForEachLine(text, LineBreaks::Any, true, [&](std::wstring_view line) { lines.push_back(line); });
    return lines;
}

// The line end every line end of the texts is; CR LF when they have none or several kinds.
std::wstring_view CommonLineEnd(std::initializer_list<std::wstring_view> texts) {
    bool crLf = false, lf = false, cr = false;
    for (std::wstring_view text : texts) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\n') {
                lf = true;
            } else if (text[i] == L'\r') {
                const bool pair = i + 1 < text.size() && text[i + 1] == L'\n';
                (pair ? crLf : cr) = true;
                i += pair ? 1 : 0;
            }
        }
    }
    if (crLf + lf + cr != 1)
        return L"\r\n";
    return lf ? L"\n" : cr ? L"\r" : L"\r\n";
}

// The memo pad's text as lines joined by one line end: the piece after the last line end is a
// line too (empty when the text ends with one), so the end of the text merges like any line.
std::wstring MergeMemo(const std::wstring_view* base, std::wstring_view ours, std::wstring_view theirs) {
    const std::vector<std::wstring_view> baseLines = base ? Lines(*base) : std::vector<std::wstring_view>();
    const std::vector<std::wstring_view> merged = MergeSequences<std::wstring_view, std::hash<std::wstring_view>>(
        base ? &baseLines : nullptr, Lines(ours), Lines(theirs), Itself);
    const std::wstring_view lineEnd = CommonLineEnd({ours, theirs});
    std::wstring text;
    for (size_t i = 0; i < merged.size(); ++i) {
        if (i > 0)
            text += lineEnd;
        text += merged[i];
    }
    return text;
}

} // namespace

std::vector<HistoryItem> MergeEntryLists(const std::vector<HistoryItem>& base, const std::vector<HistoryItem>& ours,
                                         const std::vector<HistoryItem>& theirs) {
    return MergeEntries(&base, ours, theirs);
}

std::vector<HistoryItem> MergeEntryListsTwoWay(const std::vector<HistoryItem>& ours,
                                               const std::vector<HistoryItem>& copy) {
    return MergeEntries(nullptr, ours, copy);
}

std::wstring MergeMemoText(std::wstring_view base, std::wstring_view ours, std::wstring_view theirs) {
    return MergeMemo(&base, ours, theirs);
}

std::wstring MergeMemoTextTwoWay(std::wstring_view ours, std::wstring_view copy) {
    return MergeMemo(nullptr, ours, copy);
}
