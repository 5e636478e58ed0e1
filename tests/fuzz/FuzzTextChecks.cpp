#include "fuzz/FuzzTargets.h"

#include "app/ClipboardCapture.h"
#include "core/Filter.h"
#include "crypto/Envelope.h"

#include <windows.h>

#include <algorithm>

namespace {} // namespace

std::string CheckEnvelope(const FuzzCase& input) {
    const bool seal = !input.Part(0).empty() && (input.Part(0)[0] & 1);
    const std::wstring text = WideFromBytes(input.Part(1));
    const std::wstring password = WideFromBytes(input.Part(2));
    if (!seal) {
        std::wstring plain = L"left over";
        const bool opened = OpenEnvelope(text, password, plain);
        if (!opened && !plain.empty())
            return "a failed open left text behind";
        if (opened && !IsEnvelope(text))
            return "something that is no envelope opened";
        if (DecryptText(text, password) != plain)
            return "DecryptText and OpenEnvelope disagree";
        return "";
    }
    const std::wstring envelope = EncryptText(text, password);
    if (password.empty())
        return envelope.empty() ? "" : "sealed with an empty password";
    if (!IsEnvelope(envelope))
        return "sealing gave no envelope: " + Shown(envelope);
    std::wstring back;
    if (!OpenEnvelope(envelope, password, back))
        return "a sealed text does not open with its password";
    if (back != text)
        return "sealed and opened, the text differs: " + Shown(back);
    if (OpenEnvelope(envelope, password + L"x", back))
        return "a sealed text opens with another password";
    return "";
}

namespace {

bool IsMark(wchar_t c) {
    const std::wstring folded = Folded(std::wstring_view(&c, 1), FoldSide::Entry);
    return folded == L"\u309B" || folded == L"\u309C";
}

bool HasUncomparable(std::wstring_view word) {
    return std::any_of(word.begin(), word.end(), [](wchar_t c) { return (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE; });
}

// True when `word` stands in `text` as it was typed, with nothing around it that folding joins
// to it (a voiced mark after its last letter, or before its first when it begins with one).
bool HoldsLiterally(std::wstring_view text, std::wstring_view word) {
    for (size_t at = text.find(word); at != std::wstring_view::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || !IsMark(word.front())) && (end == text.size() || !IsMark(text[end])))
            return true;
    }
    return false;
}

std::vector<std::wstring> FilterWords(std::wstring_view filter) {
    std::vector<std::wstring> words;
    std::wstring word;
    for (wchar_t c : filter) {
        if (IsFilterSeparator(c)) {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

} // namespace

std::string CheckFilter(const FuzzCase& input) {
    const std::wstring filter = WideFromBytes(input.Part(0));
    std::vector<HistoryItem> items;
    for (size_t p = 1; p + 1 < input.parts.size(); p += 2) {
        HistoryItem item;
        item.label = WideFromBytes(input.parts[p]);
        item.text = WideFromBytes(input.parts[p + 1]);
        items.push_back(item);
    }
    if (Folded(filter, FoldSide::Filter).size() > filter.size())
        return "folding made a filter longer";
    const FilterQuery query(filter);
    const std::vector<std::wstring> words = FilterWords(filter);
    if (query.WordCount() != words.size())
        return "the filter has " + Number(query.WordCount()) + " words, not " + Number(words.size());
    std::vector<std::wstring> foldedWords;
    for (const std::wstring& word : words)
        foldedWords.push_back(Folded(word, FoldSide::Filter));

    std::vector<uint32_t> expected;
    for (size_t i = 0; i < items.size(); ++i) {
        const HistoryItem& item = items[i];
        const std::wstring label = Folded(item.label, FoldSide::Entry);
        const std::wstring text = Folded(item.text, FoldSide::Entry);
        if (label.size() > item.label.size() || text.size() > item.text.size())
            return "folding made an entry longer";
        if (Folded(text, FoldSide::Entry) != text)
            return "a folded text folds to something else again: " + Shown(item.text);
        bool all = true;     // every folded word is in the folded label or text
        bool inText = true;  // ... in the folded text
        bool literal = true; // every word stands as typed in the label or the text
        for (size_t w = 0; w < words.size(); ++w) {
            const bool found = text.find(foldedWords[w]) != std::wstring::npos;
            inText = inText && found;
            all = all && (found || label.find(foldedWords[w]) != std::wstring::npos);
            literal = literal && !HasUncomparable(words[w]) &&
                      (HoldsLiterally(item.text, words[w]) || HoldsLiterally(item.label, words[w]));
        }
        if (literal && !words.empty() && !all)
            return "entry " + Number(i) +
                   " holds every word as typed but its folded form does not: " + Shown(item.text);
        if (query.Matches(text) != inText)
            return "the filter's search and a plain search disagree on entry " + Number(i) + ": " + Shown(item.text);
        if (all)
            expected.push_back(static_cast<uint32_t>(i));
    }

    // One index for every input, as the list keeps one for every keystroke: its memory is
    // used again, whatever it held before.
    static FilterIndex index;
    index.Build(items);
    if (index.EntryCount() != items.size())
        return "the index holds " + Number(index.EntryCount()) + " entries for " + Number(items.size());
    const ListRows rows = RowsToShow(items, false, -1, query, index);
    if (!query.Empty()) {
        std::vector<uint32_t> matched;
        index.Match(query, matched);
        if (matched != expected)
            return "the index matched " + Number(matched.size()) + " entries, the entries themselves " +
                   Number(expected.size());
        if (rows.Count() != static_cast<int>(expected.size()))
            return "the list shows " + Number(rows.Count()) + " rows for " + Number(expected.size()) + " matches";
    }
    for (int row = 0; row < rows.Count(); ++row) {
        const int at = rows.IndexAt(row);
        if (at < 0 || static_cast<size_t>(at) >= items.size() || rows.RowOf(at) != row)
            return "row " + Number(row) + " and its entry do not find each other";
    }
    return "";
}

namespace {

// Bytes placed so that they end right where a page begins that the process may not touch:
// reading a byte too many is an access violation.
class GuardedBlock {
public:
    ~GuardedBlock() { Release(); }

    const void* Place(std::string_view bytes) {
        if (!base_ || bytes.size() > usable_) {
            Release();
            SYSTEM_INFO info;
            GetSystemInfo(&info);
            const size_t page = info.dwPageSize;
            usable_ = (bytes.size() / page + 1) * page;
            base_ = static_cast<char*>(VirtualAlloc(nullptr, usable_ + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
            DWORD old = 0;
            if (!base_ || !VirtualProtect(base_ + usable_, page, PAGE_NOACCESS, &old)) {
                Release();
                return nullptr;
            }
        }
        char* at = base_ + usable_ - bytes.size();
        std::copy(bytes.begin(), bytes.end(), at);
        return at;
    }

private:
    void Release() {
        if (base_)
            VirtualFree(base_, 0, MEM_RELEASE);
        base_ = nullptr;
        usable_ = 0;
    }

    char* base_ = nullptr;
    size_t usable_ = 0;
};

} // namespace

std::string CheckClipboard(const FuzzCase& input) {
    const std::string& block = input.Part(0);
    static GuardedBlock guarded;
    const void* at = guarded.Place(block);
    if (!at)
        return "(the fuzzer could not place the block)";
    const std::wstring text = ClipboardTextFromBlock(at, block.size());
    // The whole units up to the first NUL.
    std::wstring expected = WideFromBytes(block);
    expected = expected.substr(0, expected.find(L'\0'));
    if (text != expected)
        return "read " + Number(text.size()) + " units, expected " + Number(expected.size());
    return "";
}
