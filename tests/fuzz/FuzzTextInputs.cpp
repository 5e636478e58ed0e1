#include "fuzz/FuzzInputs.h"

#include "crypto/Envelope.h"
#include "crypto/EnvelopeInternals.h"
#include "fuzz/FuzzChecks.h"

#include <algorithm>
#include <cwctype>

namespace {

using envelope_internals::Bytes;

const wchar_t kBase64Chars[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Units no Base64 field may hold.
constexpr wchar_t kNotBase64[] = {L'-',  L'_',  L' ',  L'\r', L'\n', L'=',   L'é',
                                  L'Ａ', L'\0', L'\t', L':',  L'.',  0xFEFF, 0xD800};

Bytes RandomBytes(Rng& rng, size_t count) {
    Bytes bytes(count);
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(rng.Below(256));
    return bytes;
}

size_t FieldLength(Rng& rng) {
    const size_t lengths[] = {0, 1, 2, 3, 4, 15, 16, 17, 20, 31, 32, 33, 48, 64};
    return rng.OneIn(4) ? rng.Below(200) : rng.Pick(lengths);
}

std::vector<std::wstring> SplitFields(std::wstring_view text) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (size_t colon = text.find(L':'); colon != std::wstring_view::npos; colon = text.find(L':', start)) {
        fields.emplace_back(text.substr(start, colon - start));
        start = colon + 1;
    }
    fields.emplace_back(text.substr(start));
    return fields;
}

std::wstring JoinFields(const std::vector<std::wstring>& fields) {
    std::wstring text;
    for (size_t i = 0; i < fields.size(); ++i)
        text += (i ? L":" : L"") + fields[i];
    return text;
}

// A tag that matches the other fields, so that the opener gets past its check to the data.
std::wstring MatchingTag(const std::vector<std::wstring>& fields, const std::wstring& password) {
    const Bytes salt = envelope_internals::Base64Decode(fields[1]);
    Bytes complement(salt);
    for (unsigned char& b : complement)
        b = static_cast<unsigned char>(~b);
    Bytes key;
    if (!envelope_internals::DeriveKeyPbkdf2(password, complement, key))
        return fields[4];
    const Bytes tag = envelope_internals::ComputeHmacSha256(key, salt, envelope_internals::Base64Decode(fields[2]),
                                                            envelope_internals::Base64Decode(fields[3]));
    return envelope_internals::Base64Encode(tag);
}

std::wstring Password(Rng& rng) {
    if (!rng.OneIn(4))
        return kFuzzPassword;
    std::wstring password;
    for (size_t n = rng.OneIn(20) ? 256 + rng.Below(300) : rng.Below(12); n > 0; --n)
        password += OddPiece(rng);
    return password;
}

} // namespace

FuzzCase EnvelopeCase(Rng& rng, const Seeds& seeds) {
    FuzzCase input;
    input.target = FuzzTarget::Envelope;
    std::wstring text = MixedText(rng, seeds, rng.Length(6, 60));
    if (rng.OneIn(200))
        text = std::wstring(100000 + rng.Below(200000), L'文');
    const std::wstring password = Password(rng);
    if (rng.OneIn(3)) { // seal and open again
        input.parts = {std::string(1, '\1'), BytesFromWide(text), BytesFromWide(password)};
        return input;
    }
    // Open a changed envelope: sealed here, or a seed file that already is one.
    const std::string& seed = rng.Pick(seeds);
    std::wstring envelope;
    if (seed.rfind("NMCENC_V2:", 0) == 0 && rng.OneIn(3)) {
        envelope = SeedText(seed);
    } else {
        SeedFuzzRandom(rng.Next());
        envelope = EncryptText(text, password);
    }
    std::vector<std::wstring> fields = SplitFields(envelope); // the magic's name, salt, iv, data, tag
    for (size_t n = 1 + rng.Below(4); n > 0; --n) {
        fields.resize(std::max<size_t>(fields.size(), 5));
        std::wstring& field = fields[1 + rng.Below(fields.size() - 1)];
        const size_t at = rng.Below(field.size() + 1);
        switch (rng.Below(10)) {
        case 0: // another length
            field = envelope_internals::Base64Encode(RandomBytes(rng, FieldLength(rng)));
            break;
        case 1:
            if (at < field.size())
                field[at] = kBase64Chars[rng.Below(64)];
            break;
        case 2:
            field.insert(at, 1, rng.Pick(kNotBase64));
            break;
        case 3:
            if (at < field.size())
                field.erase(at, 1 + rng.Below(4));
            break;
        case 4: // the padding
            if (rng.OneIn(2))
                field += L"=";
            else if (!field.empty())
                field.back() = L'=';
            break;
        case 5:
            fields.erase(fields.begin() + 1 + static_cast<ptrdiff_t>(rng.Below(fields.size() - 1)));
            break;
        case 6:
            fields.push_back(rng.OneIn(2) ? std::wstring() : envelope_internals::Base64Encode(RandomBytes(rng, 16)));
            break;
        case 7: // the data alone, of any length, with a tag that matches
            fields[3] = envelope_internals::Base64Encode(RandomBytes(rng, FieldLength(rng) * (rng.OneIn(2) ? 16 : 1)));
            [[fallthrough]];
        default:
            fields[4] = MatchingTag(fields, password);
            break;
        }
    }
    envelope = JoinFields(fields);
    switch (rng.Below(12)) {
    case 0:
        envelope.resize(rng.Below(envelope.size() + 1));
        break;
    case 1:
        envelope += rng.Pick({std::wstring(L":"), std::wstring(L"\r\n"), std::wstring(L" "), std::wstring(L"=")});
        break;
    case 2:
        envelope.insert(0, rng.Pick({std::wstring(L" "), std::wstring(L"\uFEFF"), std::wstring(L"\\")}));
        break;
    case 3: // a letter of the magic in the other case
        if (!envelope.empty())
            envelope[rng.Below(std::min(envelope.size(), kEnvelopeMagicLength))] ^= 0x20;
        break;
    default:
        break;
    }
    input.parts = {std::string(1, '\0'), BytesFromWide(envelope),
                   BytesFromWide(rng.OneIn(6) ? Password(rng) : password)};
    return input;
}

namespace {

// The ways one word is typed: hiragana or katakana, full or half width, upper or lower case.
std::wstring Retyped(std::wstring word, Rng& rng) {
    const size_t how = rng.Below(4);
    for (wchar_t& c : word) {
        if (how == 0 && c >= 0x3041 && c <= 0x3096)
            c = static_cast<wchar_t>(c + 0x60);
        else if (how == 1 && c >= 0x30A1 && c <= 0x30F6)
            c = static_cast<wchar_t>(c - 0x60);
        else if (how == 2 && c >= 0x21 && c <= 0x7E)
            c = static_cast<wchar_t>(c + 0xFEE0);
        else if (how == 3 && c < 0x80)
            c = static_cast<wchar_t>(std::iswlower(c) ? std::towupper(c) : std::towlower(c));
    }
    return word;
}

// What separates the words of a filter: spaces (the ideographic one too) and control characters.
constexpr wchar_t kSeparators[] = {L' ', L' ', 0x3000, L'\t', L'\n', L'\0', 0x0085, 0x00A0};

} // namespace

FuzzCase FilterCase(Rng& rng, const Seeds& seeds) {
    FuzzCase input;
    input.target = FuzzTarget::Filter;
    std::vector<std::wstring> texts;
    for (size_t n = rng.OneIn(30) ? 100 + rng.Below(400) : rng.Below(12); n > 0; --n) {
        texts.push_back(rng.OneIn(3) ? MixedText(rng, seeds, 1 + rng.Below(3)) : std::wstring());
        texts.push_back(MixedText(rng, seeds, rng.Length(6, 60)));
    }
    std::wstring filter;
    for (size_t n = rng.Below(5); n > 0; --n) {
        std::wstring word;
        const size_t how = rng.Below(8);
        if (how < 4 && !texts.empty()) { // part of an entry, typed some way
            const std::wstring& from = texts[rng.Below(texts.size())];
            word = from.substr(rng.Below(from.size() + 1), 1 + rng.Below(12));
            if (how < 2)
                word = Retyped(word, rng);
        } else if (how == 4) { // a long, repetitive word and an entry full of it
            const std::wstring unit = rng.Pick({std::wstring(L"a"), std::wstring(L"ab"), std::wstring(L"ア"),
                                                std::wstring(L"ｶﾞ"), std::wstring(L"aab")});
            while (word.size() < 32 + rng.Below(64))
                word += unit;
            std::wstring text;
            while (text.size() < 1000 + rng.Below(rng.OneIn(10) ? 200000 : 5000))
                text += unit;
            if (rng.OneIn(2))
                word += L"b";
            texts.push_back(std::wstring());
            texts.push_back(text + (rng.OneIn(2) ? word : std::wstring()));
        } else {
            word = MixedText(rng, seeds, 1 + rng.Below(2)).substr(0, 1 + rng.Below(10));
        }
        filter += word;
        filter.append(1 + rng.Below(2), rng.Pick(kSeparators));
    }
    input.parts.push_back(BytesFromWide(filter));
    for (const std::wstring& text : texts)
        input.parts.push_back(BytesFromWide(text));
    return input;
}

FuzzCase ClipboardCase(Rng& rng, const Seeds& seeds) {
    FuzzCase input;
    input.target = FuzzTarget::Clipboard;
    std::string block = BytesFromWide(MixedText(rng, seeds, rng.Length(4, 40)));
    if (rng.OneIn(300))
        block = BytesFromWide(std::wstring(1000000 + rng.Below(1000000), L'x'));
    switch (rng.Below(6)) {
    case 0: // as it should be: one terminating NUL
        block.append(2, '\0');
        break;
    case 1: // a NUL inside
        block.insert(rng.Below(block.size() / 2 + 1) * 2, std::string(2, '\0'));
        break;
    case 2: // an odd size
        block += static_cast<char>(rng.Below(256));
        break;
    case 3: // cut anywhere
        block.resize(rng.Below(block.size() + 1));
        break;
    case 4: // tiny
        block = std::string(rng.Below(5), static_cast<char>(rng.OneIn(2) ? 0 : 'a'));
        break;
    default: // no terminating NUL
        break;
    }
    input.parts = {block};
    return input;
}
