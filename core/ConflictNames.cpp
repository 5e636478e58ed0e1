#include "core/ConflictNames.h"

#include "core/Types.h"

#include <algorithm>
#include <iterator>

namespace {

// Only ASCII letters differ by case in the names and phrases compared here.
bool SameLetters(std::wstring_view a, std::wstring_view b) {
    const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](wchar_t x, wchar_t y) { return lower(x) == lower(y); });
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool AllDigits(std::wstring_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit);
}

// Each Take* takes its piece off the front (or the back) of `s` and says whether it was there.
bool Take(std::wstring_view& s, std::wstring_view piece) {
    if (s.size() < piece.size() || !SameLetters(s.substr(0, piece.size()), piece))
        return false;
    s.remove_prefix(piece.size());
    return true;
}

bool TakeBack(std::wstring_view& s, std::wstring_view piece) {
    if (s.size() < piece.size() || !SameLetters(s.substr(s.size() - piece.size()), piece))
        return false;
    s.remove_suffix(piece.size());
    return true;
}

bool TakeDigits(std::wstring_view& s, size_t count) {
    if (s.size() < count || !AllDigits(s.substr(0, count)))
        return false;
    s.remove_prefix(count);
    return true;
}

bool TakeDigitsBack(std::wstring_view& s, size_t count) {
    if (s.size() < count || !AllDigits(s.substr(s.size() - count)))
        return false;
    s.remove_suffix(count);
    return true;
}

// YYYY-MM-DD.
bool TakeDateBack(std::wstring_view& s) {
    return TakeDigitsBack(s, 2) && TakeBack(s, L"-") && TakeDigitsBack(s, 2) && TakeBack(s, L"-") &&
           TakeDigitsBack(s, 4);
}

// Dropbox's " (1)" for the second copy of the same day.
void TakeCounterBack(std::wstring_view& s) {
    const size_t open = s.rfind(L" (");
    if (open != std::wstring_view::npos && s.back() == L')' && AllDigits(s.substr(open + 2, s.size() - open - 3)))
        s.remove_suffix(s.size() - open);
}

// ".sync-conflict-20261209-101010-ABCDEF7": the date, the time and the start of the device id.
bool IsSyncthingTag(std::wstring_view s) {
    return Take(s, L".sync-conflict-") && TakeDigits(s, 8) && Take(s, L"-") && TakeDigits(s, 6) && Take(s, L"-") &&
           !s.empty() && std::all_of(s.begin(), s.end(), [](wchar_t c) {
               return IsDigit(c) || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
           });
}

// " (PC's conflicted copy 2026-12-09)", its Japanese form, or " (conflicted copy 2026-12-09 101010)".
bool IsParenthesisedTag(std::wstring_view s) {
    TakeCounterBack(s);
    if (!Take(s, L" (") || !TakeBack(s, L")"))
        return false;
    TakeCounterBack(s);
    std::wstring_view nextcloud = s;
    if (Take(nextcloud, L"conflicted copy ") && TakeDigitsBack(nextcloud, 6) && TakeBack(nextcloud, L" ") &&
        TakeDateBack(nextcloud) && nextcloud.empty())
        return true;
    if (!TakeDateBack(s))
        return false;
    const bool dropbox = TakeBack(s, L"'s conflicted copy ") || TakeBack(s, L"\u2019s conflicted copy ") ||
                         TakeBack(s, L" \u306E\u7AF6\u5408\u30B3\u30D4\u30FC "); // " の競合コピー "
    return dropbox && !s.empty();                                                // the PC's name
}

} // namespace

std::wstring ConflictCopyOf(std::wstring_view fileName) {
    for (const wchar_t* file : kDataFileNames) {
        const std::wstring_view name = file;
        const size_t dot = name.rfind(L'.');
        std::wstring_view tag = fileName;
        if (Take(tag, name.substr(0, dot)) && TakeBack(tag, name.substr(dot)) &&
            (IsSyncthingTag(tag) || IsParenthesisedTag(tag)))
            return file;
    }
    return std::wstring();
}

bool IsDataFileName(std::wstring_view fileName) {
    return std::any_of(std::begin(kDataFileNames), std::end(kDataFileNames),
                       [&](const wchar_t* name) { return SameLetters(fileName, name); });
}
