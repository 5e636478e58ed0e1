#include "core/Text.h"

#include <algorithm>

namespace {

std::wstring Joined(std::wstring_view text, LineBreaks breaks, std::wstring_view separator, bool dropCr) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    bool first = true;
    ForEachLine(text, breaks, true, [&](std::wstring_view line) {
        if (!first)
            out += separator;
        first = false;
        for (wchar_t c : line)
            if (!dropCr || c != L'\r')
                out += c;
    });
    return out;
}

} // namespace

std::wstring ToCrLf(std::wstring_view text, LoneCr loneCr) {
    return Joined(text, loneCr == LoneCr::Break ? LineBreaks::Any : LineBreaks::Lf, L"\r\n", loneCr == LoneCr::Drop);
}

std::wstring ToLf(std::wstring_view text, LoneCr loneCr) {
    return Joined(text, loneCr == LoneCr::Break ? LineBreaks::Any : LineBreaks::Lf, L"\n", loneCr == LoneCr::Drop);
}

std::wstring_view TrimBlanks(std::wstring_view text) {
    constexpr std::wstring_view blanks = L" \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos)
        return std::wstring_view();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

int ParseCount(std::wstring_view value, int fallback, int most) {
    value = TrimBlanks(value);
    if (value.empty())
        return fallback;
    long long count = 0;
    for (wchar_t c : value) {
        if (c < L'0' || c > L'9')
            return fallback;
        count = std::min<long long>(count * 10 + (c - L'0'), most); // never an overflow
    }
    return static_cast<int>(count);
}
