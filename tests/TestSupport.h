// Small helpers shared by the tests.
#pragma once

#include "core/Types.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

// Whole files as bytes, bypassing the program's own readers and writers.
inline std::string FileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void PutFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline HistoryItem MakeItem(std::wstring text, std::wstring label = L"", bool used = false, bool locked = false) {
    HistoryItem item;
    item.text = std::move(text);
    item.label = std::move(label);
    item.used = used;
    item.locked = locked;
    return item;
}

// Every line break (CR LF, LF, lone CR) as LF: the form a text takes after a save and load.
inline std::wstring LfOnly(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            out += L'\n';
            if (i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Builds texts from pieces that the item format must not misread.
class AdversarialTexts {
public:
    explicit AdversarialTexts(unsigned seed) : rng_(seed) {}

    std::wstring Text(int maxPieces, bool withBreaks = true) {
        static const wchar_t* const pieces[] = {L"---", L"\\",   L"\\\\", L"[L]", L"[C]",    L"[LABEL]",    L"[LABEL] ",
                                                L" ",   L"\t",   L"a",    L"xyz", L"あいう", L"漢字",       L"-",
                                                L"--",  L"----", L"[",    L"]",   L"\x0001", L"\U0001F600", L"__EMPTY",
                                                L"=",   L"\r\n", L"\n",   L"\r"};
        const size_t count = withBreaks ? std::size(pieces) : std::size(pieces) - 3;
        std::wstring text;
        const int n = Pick(maxPieces + 1);
        for (int i = 0; i < n; ++i)
            text += pieces[Pick(static_cast<int>(count))];
        return text;
    }

    HistoryItem Item() {
        HistoryItem item;
        item.text = Text(8);
        if (Pick(3) == 0)
            item.label = Text(3, false);
        item.used = Pick(2) == 0;
        item.locked = Pick(3) == 0;
        return item;
    }

    int Pick(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(rng_); }

private:
    std::mt19937 rng_;
};

// What reading gives back for what was written: line breaks as LF; an entry with neither
// text nor label is not stored.
inline std::vector<HistoryItem> ExpectedAfterRoundTrip(const std::vector<HistoryItem>& items) {
    std::vector<HistoryItem> expected;
    for (const HistoryItem& item : items) {
        if (item.text.empty() && item.label.empty())
            continue;
        HistoryItem e = item;
        e.text = LfOnly(item.text);
        expected.push_back(e);
    }
    return expected;
}
