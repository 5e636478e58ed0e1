#include "core/Filter.h"

#include <algorithm>
#include <climits>

namespace {

// What a lone surrogate (or U+FFFE, U+FFFF) becomes: a different character on each side, so
// that one in a filter never finds one in an entry.
constexpr wchar_t kEntryIncomparable = 0xFFFF;
constexpr wchar_t kFilterIncomparable = 0xFFFE;

constexpr wchar_t kSpacingVoiced = 0x309B;     // ゛
constexpr wchar_t kSpacingSemiVoiced = 0x309C; // ゜

// Half-width katakana U+FF61..U+FF9F as their full-width forms (the marks as spacing marks).
constexpr wchar_t kHalfWidthKatakana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, // ｡｢｣､･ｦｧｨ
    0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, // ｩｪｫｬｭｮｯｰ
    0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, // ｱｲｳｴｵｶｷｸ
    0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, // ｹｺｻｼｽｾｿﾀ
    0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, // ﾁﾂﾃﾄﾅﾆﾇﾈ
    0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, // ﾉﾊﾋﾌﾍﾎﾏﾐ
    0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9, 0x30EA, // ﾑﾒﾓﾔﾕﾖﾗﾘ
    0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,         // ﾙﾚﾛﾜﾝﾞﾟ
};
static_assert(sizeof(kHalfWidthKatakana) / sizeof(kHalfWidthKatakana[0]) == 0xFF9F - 0xFF61 + 1,
              "one full-width form for each half-width katakana");

// Full-width signs U+FFE0..U+FFE6 (￠￡￢￣￤￥￦) as their ordinary forms.
constexpr wchar_t kFullWidthSigns[] = {0x00A2, 0x00A3, 0x00AC, 0x00AF, 0x00A6, 0x00A5, 0x20A9};

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Lower case of the Latin, Greek and Cyrillic letters that have one in a single unit.
wchar_t LowerCase(wchar_t c) {
    if (c < 0x80)
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c;
    if ((c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) || (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) ||
        (c >= 0x0410 && c <= 0x042F))
        return static_cast<wchar_t>(c + 0x20);
    if (c >= 0x0400 && c <= 0x040F)
        return static_cast<wchar_t>(c + 0x50);
    if (c >= 0x0100 && c <= 0x017F) {
        if (c == 0x0130 || c == 0x0131 || c == 0x0138 || c == 0x0149 || c == 0x017F)
            return c; // dotted and dotless i, kra, 'n and long s have no simple pair here
        if (c == 0x0178)
            return 0x00FF;
        const bool oddUpper = (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E);
        const bool upper = oddUpper ? (c % 2 == 1) : (c % 2 == 0);
        return upper ? static_cast<wchar_t>(c + 1) : c;
    }
    return c;
}

// One unit folded on its own: width, kana type and case. Marks are not joined here.
wchar_t FoldUnit(wchar_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E)
        return LowerCase(static_cast<wchar_t>(c - 0xFEE0)); // full-width ASCII
    if (c == 0x3000)
        return L' ';
    if (c >= 0x3041 && c <= 0x3096)
        return static_cast<wchar_t>(c + 0x60); // hiragana as katakana
    if (c == 0x309D || c == 0x309E)
        return static_cast<wchar_t>(c + 0x60); // ゝゞ as ヽヾ
    if (c >= 0xFF61 && c <= 0xFF9F)
        return kHalfWidthKatakana[c - 0xFF61];
    if (c >= 0xFFE0 && c <= 0xFFE6)
        return kFullWidthSigns[c - 0xFFE0];
    if (c == 0x3099)
        return kSpacingVoiced;
    if (c == 0x309A)
        return kSpacingSemiVoiced;
    return LowerCase(c);
}

// The katakana letter with the voiced (or semi-voiced) mark, or 0 when the letter takes none.
wchar_t WithMark(wchar_t letter, wchar_t mark) {
    const bool semi = mark == kSpacingSemiVoiced;
    if (letter >= 0x30CF && letter <= 0x30DB && (letter - 0x30CF) % 3 == 0) // ハヒフヘホ
        return static_cast<wchar_t>(letter + (semi ? 2 : 1));
    if (semi)
        return 0;
    if ((letter >= 0x30AB && letter <= 0x30C1 && (letter - 0x30AB) % 2 == 0) || // カ..チ
        letter == 0x30C4 || letter == 0x30C6 || letter == 0x30C8 ||             // ツテト
        letter == 0x30FD)                                                       // ヽ
        return static_cast<wchar_t>(letter + 1);
    switch (letter) {
    case 0x30A6:
        return 0x30F4; // ウ ヴ
    case 0x30EF:
    case 0x30F0:
    case 0x30F1:
    case 0x30F2:
        return static_cast<wchar_t>(letter + 8); // ワヰヱヲ ヷヸヹヺ
    default:
        return 0;
    }
}

// Proper-border table of Knuth, Morris and Pratt.
std::vector<uint32_t> Borders(std::wstring_view word) {
    std::vector<uint32_t> border(word.size(), 0);
    uint32_t k = 0;
    for (size_t i = 1; i < word.size(); ++i) {
        while (k > 0 && word[i] != word[k])
            k = border[k - 1];
        if (word[i] == word[k])
            ++k;
        border[i] = k;
    }
    return border;
}

bool ContainsWithBorders(std::wstring_view text, std::wstring_view word, const std::vector<uint32_t>& border) {
    size_t k = 0;
    for (const wchar_t c : text) {
        while (k > 0 && c != word[k])
            k = border[k - 1];
        if (c == word[k] && ++k == word.size())
            return true;
    }
    return false;
}

// Words this long are searched in linear time: a pasted run of one letter against a long entry
// of the same letter would otherwise take as long as their lengths multiplied.
constexpr size_t kLinearSearchFrom = 32;

// FoldUnit for every unit of the Basic Multilingual Plane, worked out once: folding is then one
// look-up per unit. Units that need more than a look-up (NUL, surrogates, U+FFFE and U+FFFF,
// and whatever folds to a voiced mark) hold 0 there, so that one test sends them aside.
const wchar_t* FoldTable() {
    static const std::vector<wchar_t> table = [] {
        std::vector<wchar_t> t(0x10000);
        for (size_t c = 0; c < t.size(); ++c) {
            const wchar_t f = FoldUnit(static_cast<wchar_t>(c));
            const bool aside =
                (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE || f == kSpacingVoiced || f == kSpacingSemiVoiced;
            t[c] = aside ? 0 : f;
        }
        return t;
    }();
    return table.data();
}

} // namespace

size_t FoldInto(std::wstring_view text, FoldSide side, wchar_t* folded) {
    const wchar_t* table = FoldTable();
    const wchar_t incomparable = side == FoldSide::Entry ? kEntryIncomparable : kFilterIncomparable;
    const wchar_t* const units = text.data();
    const size_t size = text.size();
    size_t n = 0;
    for (size_t i = 0; i < size; ++i) {
        const wchar_t c = units[i];
        const wchar_t f = table[c];
        if (f != 0) {
            folded[n++] = f;
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (IsHighSurrogate(c) && i + 1 < size && IsLowSurrogate(units[i + 1])) {
                folded[n++] = c;
                folded[n++] = units[++i];
            } else {
                folded[n++] = incomparable;
            }
        } else if (c >= 0xFFFE) {
            folded[n++] = incomparable;
        } else if (c == 0) {
            folded[n++] = 0;
        } else { // a voiced or semi-voiced mark: joined with the letter before it when it takes one
            const wchar_t mark = FoldUnit(c);
            const wchar_t joined = n > 0 ? WithMark(folded[n - 1], mark) : 0;
            if (joined)
                folded[n - 1] = joined;
            else
                folded[n++] = mark;
        }
    }
    return n;
}

std::wstring Folded(std::wstring_view text, FoldSide side) {
    std::wstring out(text.size(), L'\0'); // never longer than the text
    out.resize(FoldInto(text, side, &out[0]));
    return out;
}

bool IsFilterSeparator(wchar_t c) {
    return c <= 0x20 || c == 0x7F || (c >= 0x80 && c <= 0xA0) || c == 0x3000;
}

FilterQuery::FilterQuery(std::wstring_view filter) {
    size_t i = 0;
    while (i < filter.size()) {
        while (i < filter.size() && IsFilterSeparator(filter[i]))
            ++i;
        const size_t start = i;
        while (i < filter.size() && !IsFilterSeparator(filter[i]))
            ++i;
        if (i == start)
            continue;
        Word word;
        word.text = Folded(filter.substr(start, i - start), FoldSide::Filter);
        if (word.text.size() >= kLinearSearchFrom)
            word.border = Borders(word.text);
        words_.push_back(std::move(word));
    }
}

bool FilterQuery::Matches(std::wstring_view folded) const {
    for (const Word& word : words_) {
        if (word.text.size() > folded.size())
            return false;
        const bool found = word.border.empty() ? folded.find(word.text) != std::wstring_view::npos
                                               : ContainsWithBorders(folded, word.text, word.border);
        if (!found)
            return false;
    }
    return true;
}

void FilterIndex::Build(const std::vector<HistoryItem>& items) {
    // Made again when the entries change (a capture while the filter is open): into the memory
    // of the last copies, written once, as fresh pages and clearing cost more than the folding.
    size_t total = 0;
    for (const HistoryItem& item : items)
        total += item.label.size() + 1 + item.text.size();
    if (folded_.size() < total)
        folded_.resize(total);
    ends_.clear();
    ends_.reserve(items.size());
    wchar_t* const out = &folded_[0];
    size_t n = 0;
    for (const HistoryItem& item : items) {
        n += FoldInto(item.label, FoldSide::Entry, out + n);
        out[n++] = L'\n'; // no word holds it: none can run from the label into the text
        n += FoldInto(item.text, FoldSide::Entry, out + n);
        ends_.push_back(n);
    }
    folded_.resize(n);
    built_ = true;
}

void FilterIndex::Clear() {
    std::wstring().swap(folded_);
    std::vector<size_t>().swap(ends_);
    built_ = false;
}

void FilterIndex::Match(const FilterQuery& query, std::vector<uint32_t>& out) const {
    const std::wstring_view all(folded_);
    size_t start = 0;
    for (size_t i = 0; i < ends_.size(); ++i) {
        if (query.Matches(all.substr(start, ends_[i] - start)))
            out.push_back(static_cast<uint32_t>(i));
        start = ends_[i];
    }
}

ListRows ListRows::FirstEntries(int count) {
    ListRows rows;
    rows.count_ = std::max(count, 0);
    return rows;
}

ListRows ListRows::Entries(std::vector<uint32_t> indices) {
    ListRows rows;
    rows.filtered_ = true;
    rows.count_ = static_cast<int>(std::min(indices.size(), static_cast<size_t>(INT_MAX)));
    rows.indices_ = std::move(indices);
    return rows;
}

int ListRows::IndexAt(int row) const {
    if (row < 0 || row >= count_)
        return -1;
    return filtered_ ? static_cast<int>(indices_[static_cast<size_t>(row)]) : row;
}

int ListRows::RowOf(int index) const {
    if (index < 0)
        return -1;
    if (!filtered_)
        return index < count_ ? index : -1;
    const auto at = std::lower_bound(indices_.begin(), indices_.begin() + count_, static_cast<uint32_t>(index));
    return (at != indices_.begin() + count_ && *at == static_cast<uint32_t>(index))
               ? static_cast<int>(at - indices_.begin())
               : -1;
}

namespace {

// A sealed tab without entries holds only the placeholder, which is never shown.
bool OnlyPlaceholder(const std::vector<HistoryItem>& items) {
    return items.size() == 1 && items.front().text == kEmptyEncryptedTab;
}

} // namespace

int ItemListRowCount(const std::vector<HistoryItem>& items, bool history, int historyLimit) {
    if (OnlyPlaceholder(items))
        return 0;
    size_t rows = items.size();
    if (history && historyLimit >= 0)
        rows = std::min(rows, static_cast<size_t>(historyLimit));
    return static_cast<int>(std::min(rows, static_cast<size_t>(INT_MAX)));
}

ListRows RowsToShow(const std::vector<HistoryItem>& items, bool history, int historyLimit, const FilterQuery& query,
                    const FilterIndex& index) {
    if (query.Empty())
        return ListRows::FirstEntries(ItemListRowCount(items, history, historyLimit));
    std::vector<uint32_t> matches;
    if (!OnlyPlaceholder(items) && index.EntryCount() == items.size())
        index.Match(query, matches);
    return ListRows::Entries(std::move(matches));
}
