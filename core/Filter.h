// Finding entries by a few typed words. Texts are folded so that the ways one word is typed
// in Japanese come out the same: letter case, full-width and half-width forms, hiragana and
// katakana (half-width katakana and voiced marks included). An entry matches when its label or
// text holds every word of the filter.
#pragma once

#include "core/Types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Which text is folded. They differ only in what stands for a character that cannot be
// compared (a lone surrogate): in an entry and in a filter it becomes two different
// characters, so that it never matches anything.
enum class FoldSide { Entry, Filter };

// The folded form of `text`:
// - letters of the Latin, Greek and Cyrillic scripts in lower case;
// - full-width letters, digits and signs (ＡＢＣ, ０, ！) as their ASCII forms, the
//   ideographic space as a space;
// - half-width katakana (ｶﾀｶﾅ) and hiragana (かたかな) as katakana (カタカナ);
// - a voiced or semi-voiced mark (half-width, spacing or combining) joined with the letter
//   before it (ｶﾞ, か゛ and ガ alike); alone it becomes the spacing mark (゛ ゜);
// - a surrogate pair as it is; a lone surrogate, U+FFFE and U+FFFF as that side's
//   incomparable character.
// The folded text may be shorter than `text` (a mark joined with its letter), never longer.
std::wstring Folded(std::wstring_view text, FoldSide side);
// The same written to `out`, which has room for text.size() units; returns how many it wrote.
size_t FoldInto(std::wstring_view text, FoldSide side, wchar_t* out);

// True for what separates the words of a filter: spaces (the ideographic one too) and
// control characters.
bool IsFilterSeparator(wchar_t c);

// The words of a filter, folded. No word at all (nothing typed, or only spaces) filters
// nothing.
class FilterQuery {
public:
    FilterQuery() = default;
    explicit FilterQuery(std::wstring_view filter);

    bool Empty() const { return words_.empty(); }
    size_t WordCount() const { return words_.size(); }

    // True when the folded text holds every word. Takes time in proportion to the text and
    // the words, however long and repetitive either is.
    bool Matches(std::wstring_view folded) const;

private:
    struct Word {
        std::wstring text;
        std::vector<uint32_t> border; // for long words: the longest proper border of each prefix
    };
    std::vector<Word> words_;
};

// Folded copies of the entries of one list (each entry's label and text), made once and
// searched on every keystroke. Takes about as much memory as the texts themselves.
class FilterIndex {
public:
    // Folds every entry; the memory of earlier copies is used again.
    void Build(const std::vector<HistoryItem>& items);
    // The entries changed: the copies must be made again before the next search.
    void MarkStale() { built_ = false; }
    // Gives the memory back.
    void Clear();

    bool Built() const { return built_; }
    size_t EntryCount() const { return ends_.size(); }
    // Bytes held by the folded copies.
    size_t FoldedBytes() const { return folded_.capacity() * sizeof(wchar_t) + ends_.capacity() * sizeof(size_t); }

    // Appends to `out` the index of every entry that matches `query`, in order.
    void Match(const FilterQuery& query, std::vector<uint32_t>& out) const;

private:
    std::wstring folded_;      // label, LF, text of each entry, one after the other
    std::vector<size_t> ends_; // where each entry's part of folded_ ends
    bool built_ = false;
};

// Which entries the rows of a list show. Without a filter the rows are the entries in order
// (the history only up to HistoryLimit); with one they are the matching entries, from every
// entry held.
class ListRows {
public:
    // The first `count` entries.
    static ListRows FirstEntries(int count);
    // The entries at `indices`, ascending.
    static ListRows Entries(std::vector<uint32_t> indices);

    int Count() const { return count_; }
    bool Filtered() const { return filtered_; }
    // The index of the entry on `row`, -1 for a row out of range.
    int IndexAt(int row) const;
    // The row showing the entry at `index`, -1 when no row does.
    int RowOf(int index) const;

private:
    bool filtered_ = false;
    int count_ = 0;
    std::vector<uint32_t> indices_; // when filtered
};

// Rows the list shows for `items` without a filter. The history honours a HistoryLimit of 0 or
// more; the other entries stay in the history. A sealed tab without entries holds only the
// placeholder, which never shares a list with real entries and is never shown.
int ItemListRowCount(const std::vector<HistoryItem>& items, bool history, int historyLimit);

// The rows a list of `items` shows: HistoryLimit (0 or more) caps the history only without a
// filter; a sealed tab's placeholder is never shown. `index` must have been built from `items`
// when `query` is not empty.
ListRows RowsToShow(const std::vector<HistoryItem>& items, bool history, int historyLimit, const FilterQuery& query,
                    const FilterIndex& index);
