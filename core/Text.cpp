#include "core/Text.h"

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
