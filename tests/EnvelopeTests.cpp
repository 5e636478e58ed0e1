// Tests of the sealed-text envelope. Every seal and every open that gets past the field checks
// costs PBKDF2 derivations (about 0.1 s each under Wine), so cases share envelopes.
#include "crypto/Envelope.h"
#include "crypto/EnvelopeInternals.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <sstream>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

using namespace envelope_internals;
using namespace std::string_literals;

namespace {

const std::wstring kPassword = L"pass word";

// The fields after the magic, split at every colon.
std::vector<std::wstring> Fields(const std::wstring& envelope) {
    std::wistringstream in(envelope.substr(kEnvelopeMagicLength));
    std::vector<std::wstring> fields;
    for (std::wstring field; std::getline(in, field, L':');)
        fields.push_back(field);
    return fields;
}

std::wstring Join(const std::vector<std::wstring>& fields) {
    std::wstring envelope = kEnvelopeMagic + fields[0];
    for (size_t i = 1; i < fields.size(); ++i)
        envelope += L":" + fields[i];
    return envelope;
}

} // namespace

TEST(Envelope, SealsWithFreshSaltAndIvAndRoundTrips) {
    const std::wstring texts[] = {L"Hello", L"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8",
                                  L"pair \U0001F600 \U00020BB7", L"line\r\nline\r\n", L"12345678"};
    const std::wregex layout(
        LR"(NMCENC_V2:[A-Za-z0-9+/]{22}==:[A-Za-z0-9+/]{22}==:[A-Za-z0-9+/]+={0,2}:[A-Za-z0-9+/]{43}=)");
    std::wstring first;
    for (const std::wstring& text : texts) {
        const std::wstring envelope = EncryptText(text, kPassword);
        first = first.empty() ? envelope : first;
        ASSERT_TRUE(std::regex_match(envelope, layout)) << testing::PrintToString(envelope);
        EXPECT_EQ(Base64Decode(Fields(envelope)[2]).size(), (text.size() * 2 / 16 + 1) * 16); // 8 units: 32 bytes
        EXPECT_EQ(DecryptText(envelope, kPassword), text);
    }
    const std::wstring again = EncryptText(texts[0], kPassword);
    EXPECT_NE(Fields(again)[0], Fields(first)[0]);
    EXPECT_NE(Fields(again)[1], Fields(first)[1]);
    EXPECT_EQ(DecryptText(again, kPassword), texts[0]);
}

TEST(Envelope, RefusesTamperedAndMalformedEnvelopes) {
    const std::wstring text = L"secret";
    const std::wstring envelope = EncryptText(text, kPassword);
    const std::vector<std::wstring> fields = Fields(envelope);
    ASSERT_EQ(DecryptText(envelope, kPassword), text);
    std::vector<std::pair<const char*, std::wstring>> cases = {
        {"swapped salt and IV", Join({fields[1], fields[0], fields[2], fields[3]})},
        {"truncated tag", envelope.substr(0, envelope.size() - 4)},
        {"extra colon on the tag", envelope + L":"},
        {"trailing line end", envelope + L"\r\n"},
        {"two colons", Join({fields[0], fields[1], fields[2] + fields[3]})},
        {"lower-case magic", L"nmcenc_v2:" + envelope.substr(kEnvelopeMagicLength)},
        {"leading space", L" " + envelope},
        {"byte order mark", L"\uFEFF" + envelope},
        {"magic only", kEnvelopeMagic},
        {"empty", L""}};
    for (size_t i = 0; i < fields.size(); ++i) {
        std::vector<std::wstring> changed = fields;
        changed[i][0] = changed[i][0] == L'A' ? L'B' : L'A'; // a first character carries six data bits
        cases.emplace_back("changed character", Join(changed));
    }
    for (const auto& [name, tampered] : cases)
        EXPECT_EQ(DecryptText(tampered, kPassword), L"") << name;
    EXPECT_EQ(DecryptText(envelope, L"pass  word"), L"") << "wrong password";
}

TEST(Envelope, Base64FieldsHaveOneSpellingOnly) {
    EXPECT_EQ(Base64Encode({1, 2, 3, 4}), L"AQIDBA==");
    EXPECT_EQ(Base64Decode(L"AQIDBA=="), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(Base64Decode(L"QUI="), (Bytes{'A', 'B'}));
    // crypt32 alone takes most of these: it skips white space, stops at the first "=" and
    // accepts missing padding and stray trailing bits.
    for (const wchar_t* field : {L"", L"QQ", L"QQ=", L"QR==", L"QU JD", L"QUJD\n", L"QQ==QUJD", L"QUI=:", L"Q===",
                                 L"====", L"-_-_", L"QU\u3042D"})
        EXPECT_TRUE(Base64Decode(field).empty()) << testing::PrintToString(std::wstring(field));
    EXPECT_TRUE(Base64Decode(std::wstring(L"QUJD\0QUJD", 9)).empty());
}

TEST(Envelope, HmacMatchesRfc4231AcrossItsThreeParts) {
    auto bytes = [](std::string_view text) { return Bytes(text.begin(), text.end()); };
    const Bytes digest = ComputeHmacSha256(bytes("Jefe"), bytes("what "), {}, bytes("do ya want for nothing?"));
    EXPECT_EQ(Base64Encode(digest), L"W9zBRr9gdU5qBCQmCJV1x1oAPwidJzmDnexYuWTsOEM=");
}

// Seeded mutations of a valid envelope: nothing may crash and nothing but the envelope itself
// may open. About a third of the cases keep four valid fields and pay one derivation each.
TEST(Envelope, SurvivesRandomlyMutatedEnvelopes) {
    const std::wstring text = L"mutate \u3042";
    const std::wstring envelope = EncryptText(text, kPassword);
    const std::wstring pool = L"ABCZaz09+/=:: \r\n\0\u3042\xD800\xFFFF"s; // with the zero unit
    std::mt19937 random(20240607);
    auto pick = [&random](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    for (int round = 0; round < 80; ++round) {
        const size_t at = kEnvelopeMagicLength + pick(envelope.size() - kEnvelopeMagicLength);
        const wchar_t any = pool[pick(pool.size())];
        const std::tuple<size_t, size_t, std::wstring> edits[] = {
            // where, how many characters, replaced by what
            {at, 1, {any}},
            {at, 0, {any}},
            {at, 1 + pick(3), L""},
            {at, std::wstring::npos, L""},
            {at, 1, L":"},
            {kEnvelopeMagicLength, std::wstring::npos, std::wstring(pick(100), any)},
            {at, 0, std::wstring(4 * (1 + pick(100000)), L"AQ+/"[pick(4)])}, // up to 800 KB more
            {at, 1, {L"AQgw"[pick(4)]}}};
        const auto& [where, count, replacement] = edits[round % 8];
        std::wstring mutated = envelope;
        mutated.replace(where, count, replacement);
        EXPECT_EQ(DecryptText(mutated, kPassword), mutated == envelope ? text : L"") << "round " << round;
    }
}
