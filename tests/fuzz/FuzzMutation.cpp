#include "fuzz/FuzzMutation.h"

#include "fuzz/FuzzCase.h"
#include "storage/TextFile.h"

#include <windows.h>

#include <algorithm>

namespace {

// Single units: NUL, lone surrogates, byte order marks and non-characters, C1 and separators,
// combining and spacing voiced marks, half-width voiced marks.
constexpr wchar_t kOddUnits[] = {0x0000, 0xD800, 0xDBFF, 0xDC00, 0xFEFF, 0xFFFD, 0xFFFE, 0xFFFF, 0x0085, 0x2028,
                                 0x007F, 0x0001, 0x001F, 0x3000, 0x00A0, 0x3099, 0x309A, 0xFF9E, 0xFF9F, 0x309B};

// Short sequences: line breaks, pairs, kana in their forms, letters whose case folding is special.
const wchar_t* const kOddSequences[] = {
    L"\r", L"\n", L"\r\n", L"\t", L" ",  L"\U0001F600", L"\U00020BB7", L"ｶﾞ", L"ﾊﾟ", L"ｳﾞ", L"ヽ", L"ゝ", L"é",
    L"É",  L"İ",  L"ı",    L"ſ",  L"Ÿ",  L"Σ",          L"Ж",          L"Ａ", L"ａ", L"１", L"\\", L"[",  L"]",
    L"=",  L";",  L":",    L"-",  L"あ", L"ア",         L"ｱ",          L"漢", L"ゔ", L"ヴ", L"ー", L"￥"};

// What a line may end in before its break: blanks, NUL and control characters.
constexpr wchar_t kBlanks[] = {L' ', L'\t', L'\0', 0x1F, 0x3000};

const wchar_t* const kLineEnds[] = {L"\r\n", L"\r\n", L"\r\n", L"\n", L"\n", L"\r", L"\r\r\n", L"\n\r", L""};

// Invalid or special UTF-8 (overlong, surrogates, beyond U+10FFFF, cut sequences, a second byte
// order mark), line bytes, and bytes of the system code pages. NULs come in with the blanks.
const char* const kOddBytes[] = {"\xC0\x80",
                                 "\xC0\xAF",
                                 "\xED\xA0\x80",
                                 "\xED\xBF\xBF",
                                 "\xF4\x90\x80\x80",
                                 "\xF8\x88\x80\x80\x80",
                                 "\x80",
                                 "\xBF",
                                 "\xE3\x81",
                                 "\xFE",
                                 "\xFF",
                                 "\xEF\xBB\xBF",
                                 "\r",
                                 "\n",
                                 "\x1A",
                                 "\x82\xA0",
                                 "\x81",
                                 "\xE9"};

std::string AnsiBytes(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), length, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

} // namespace

std::wstring OddPiece(Rng& rng) {
    if (rng.OneIn(2))
        return std::wstring(1, rng.Pick(kOddUnits));
    return rng.Pick(kOddSequences);
}

std::wstring SeedText(const std::string& bytes) {
    std::string_view view(bytes);
    if (view.substr(0, 3) == std::string_view(kUtf8Bom, 3))
        view.remove_prefix(3);
    return FromUtf8(view);
}

std::wstring MixedText(Rng& rng, const Seeds& seeds, size_t pieces) {
    std::wstring text;
    for (size_t i = 0; i < pieces; ++i) {
        if (rng.OneIn(3)) {
            text += OddPiece(rng);
        } else {
            const std::wstring seed = SeedText(rng.Pick(seeds));
            const size_t start = rng.Below(seed.size() + 1);
            text += seed.substr(start, rng.Length(40, 400));
        }
    }
    return text;
}

Document Lines(std::wstring_view text) {
    Document lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n')
            continue;
        const size_t endLength = text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n' ? 2 : 1;
        lines.push_back({std::wstring(text.substr(start, i - start)), std::wstring(text.substr(i, endLength))});
        i += endLength - 1;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back({std::wstring(text.substr(start)), L""});
    return lines;
}

std::wstring Joined(const Document& lines) {
    std::wstring text;
    for (const Line& line : lines)
        text += line.text + line.end;
    return text;
}

std::wstring LineEnd(Rng& rng) {
    return rng.Pick(kLineEnds);
}

void MutateLines(Document& doc, Rng& rng, const Seeds& seeds) {
    const size_t at = rng.Below(doc.size() + 1);
    switch (rng.Below(8)) {
    case 0:
        if (at < doc.size())
            doc.erase(doc.begin() + static_cast<ptrdiff_t>(at));
        break;
    case 1:
        if (at < doc.size())
            doc.insert(doc.begin() + static_cast<ptrdiff_t>(at), doc[at]);
        break;
    case 2:
        if (doc.size() >= 2)
            std::swap(doc[rng.Below(doc.size())], doc[rng.Below(doc.size())]);
        break;
    case 3:
        if (at < doc.size())
            doc[at].end = LineEnd(rng);
        break;
    case 4:
        if (at < doc.size()) {
            std::wstring& text = doc[at].text;
            text.insert(rng.Below(text.size() + 1), OddPiece(rng));
        }
        break;
    case 5: { // lines of another seed
        const Document other = Lines(SeedText(rng.Pick(seeds)));
        if (!other.empty()) {
            const size_t from = rng.Below(other.size());
            const size_t count = 1 + rng.Below(std::min<size_t>(other.size() - from, 8));
            doc.insert(doc.begin() + static_cast<ptrdiff_t>(at), other.begin() + static_cast<ptrdiff_t>(from),
                       other.begin() + static_cast<ptrdiff_t>(from + count));
        }
        break;
    }
    case 6: // blanks and control characters at the end of a line (or of the file)
        if (!doc.empty()) {
            Line& line = at < doc.size() ? doc[at] : doc.back();
            for (size_t i = 1 + rng.Below(4); i > 0; --i)
                line.text += rng.Pick(kBlanks);
        }
        break;
    default:
        if (rng.OneIn(20) && at < doc.size()) { // a very long line
            const std::wstring piece = doc[at].text.empty() ? OddPiece(rng) : doc[at].text.substr(0, 8);
            std::wstring text;
            for (size_t n = 1000 + rng.Below(40000); text.size() < n;)
                text += piece.empty() ? L"x" : piece;
            doc[at].text = text;
        }
        break;
    }
}

std::string Encoded(const std::wstring& text, Rng& rng) {
    switch (rng.Below(20)) {
    case 0:
    case 1:
    case 2:
    case 3:
        return ToUtf8(text);
    case 4:
    case 5:
        return AnsiBytes(text);
    case 6:
        return "\xFF\xFE" + BytesFromWide(text);
    case 7:
        return std::string(kUtf8Bom) + AnsiBytes(text);
    default:
        return std::string(kUtf8Bom) + ToUtf8(text);
    }
}

void MutateBytes(std::string& bytes, Rng& rng) {
    for (size_t n = 1 + rng.Below(3); n > 0; --n) {
        const size_t at = rng.Below(bytes.size() + 1);
        switch (rng.Below(6)) {
        case 0:
            bytes.insert(at, rng.Pick(kOddBytes));
            break;
        case 1:
            if (at < bytes.size())
                bytes[at] = static_cast<char>(rng.Below(256));
            break;
        case 2:
            bytes.resize(at);
            break;
        case 3:
            bytes.append(1 + rng.Below(6), rng.Pick({' ', '\r', '\n', '\t', '\0', '\x1F'}));
            break;
        case 4:
            if (at < bytes.size())
                bytes.erase(at, rng.Below(16));
            break;
        default:
            if (at < bytes.size())
                bytes.insert(at, bytes.substr(at, rng.Below(64)));
            break;
        }
    }
}
