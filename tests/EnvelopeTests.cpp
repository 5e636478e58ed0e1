// Tests of the sealed-text envelope. Every seal and every open that gets past the field checks
// costs PBKDF2 derivations (about 0.1 s each under Wine), so cases share envelopes.
#include "crypto/Envelope.h"
#include "crypto/EnvelopeInternals.h"
#include "crypto/Cng.h"
#include "core/UniqueHandles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
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

// Stand-ins for CNG functions, put in force with cng::ScopedOverride.
const NTSTATUS kUnsuccessful = static_cast<NTSTATUS>(0xC0000001UL);
int goodRandomCalls = 0; // calls of CountedGenRandom that still reach the system generator

NTSTATUS WINAPI CountedGenRandom(BCRYPT_ALG_HANDLE alg, PUCHAR buffer, ULONG size, ULONG flags) {
    if (goodRandomCalls <= 0)
        return kUnsuccessful;
    --goodRandomCalls;
    return cng::LoadedCng()->GenRandom(alg, buffer, size, flags);
}
NTSTATUS WINAPI FailingCreateHash(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG) {
    return kUnsuccessful;
}
NTSTATUS WINAPI FailingHashData(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG) {
    return kUnsuccessful;
}
NTSTATUS WINAPI FailingFinishHash(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG) {
    return kUnsuccessful;
}

const cng::Api& Loaded() {
    const cng::Api* api = cng::LoadedCng();
    if (!api)
        throw std::runtime_error("bcrypt.dll did not load from the system folder");
    return *api;
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

// Found by the fuzzer: an IV of another length than one block went through a derivation to
// the platform, which refused it with an internal error (Wine's bcrypt printed "GnuTLS error").
namespace {

int derivations = 0;
NTSTATUS WINAPI CountedDerivation(BCRYPT_ALG_HANDLE prf, PUCHAR password, ULONG passwordBytes, PUCHAR salt,
                                  ULONG saltBytes, ULONGLONG iterations, PUCHAR key, ULONG keyBytes, ULONG flags) {
    ++derivations;
    return Loaded().DeriveKeyPBKDF2(prf, password, passwordBytes, salt, saltBytes, iterations, key, keyBytes, flags);
}

} // namespace

TEST(Envelope, AnIvThatIsNotOneBlockIsRefusedBeforeAnyDerivation) {
    const std::vector<std::wstring> fields = Fields(EncryptText(L"secret", kPassword));
    cng::Api api = Loaded();
    api.DeriveKeyPBKDF2 = CountedDerivation;
    cng::ScopedOverride counted(api);
    for (size_t length : {1, 15, 17, 32}) {
        derivations = 0;
        const std::wstring iv = Base64Encode(Bytes(length, 7));
        EXPECT_EQ(DecryptText(Join({fields[0], iv, fields[2], fields[3]}), kPassword), L"") << length;
        EXPECT_EQ(derivations, 0) << length;
    }
    derivations = 0;
    EXPECT_EQ(DecryptText(Join(fields), kPassword), L"secret");
    EXPECT_EQ(derivations, 2) << "the tag's key, then the data's";
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

TEST(Envelope, Base64MatchesRfc4648) {
    const std::pair<const char*, const wchar_t*> vectors[] = {
        {"f", L"Zg=="},         {"fo", L"Zm8="},         {"foo", L"Zm9v"},         {"foob", L"Zm9vYg=="},
        {"fooba", L"Zm9vYmE="}, {"foobar", L"Zm9vYmFy"}, {"\xFB\xFF\xBF", L"+/+/"}};
    for (const auto& [plain, encoded] : vectors) {
        const Bytes bytes(plain, plain + std::char_traits<char>::length(plain));
        EXPECT_EQ(Base64Encode(bytes), encoded);
        EXPECT_EQ(Base64Decode(encoded), bytes) << testing::PrintToString(std::wstring(encoded));
    }
    EXPECT_EQ(Base64Encode({}), L"");
    Bytes all(256);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<unsigned char>(i);
    for (size_t length = 254; length <= all.size(); ++length) {
        const Bytes bytes(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(Base64Decode(Base64Encode(bytes)), bytes) << length;
    }
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

// A failing platform never yields a guessable salt or IV, an all-zero tag or an opened text.
TEST(Envelope, NeverSealsWithoutTheSystemGenerator) {
    for (int goodCalls : {0, 1}) { // the salt's draw fails, or only the IV's
        cng::Api api = Loaded();
        api.GenRandom = CountedGenRandom;
        goodRandomCalls = goodCalls;
        cng::ScopedOverride failing(api);
        EXPECT_EQ(EncryptText(L"text", kPassword), L"") << goodCalls;
        EXPECT_TRUE(GenerateRandomBytes().empty());
    }
    EXPECT_EQ(GenerateRandomBytes().size(), kRandomBytes);
}

TEST(Envelope, NeitherSealsNorOpensWhenTheHmacFails) {
    const std::wstring text = L"secret";
    const std::wstring envelope = EncryptText(text, kPassword);
    std::vector<std::wstring> fields = Fields(envelope);
    fields[3] = std::wstring(43, L'A') + L"="; // the tag of a platform that gave zeros
    const std::wstring zeroTag = Join(fields);
    const std::pair<const char*, void (*)(cng::Api&)> failures[] = {
        {"create", [](cng::Api& api) { api.CreateHash = FailingCreateHash; }},
        {"hash data", [](cng::Api& api) { api.HashData = FailingHashData; }},
        {"finish", [](cng::Api& api) { api.FinishHash = FailingFinishHash; }}};
    for (const auto& [name, fail] : failures) {
        cng::Api api = Loaded();
        fail(api);
        cng::ScopedOverride failing(api);
        EXPECT_TRUE(ComputeHmacSha256(Bytes(kKeyBytes, 1), {1}, {2}, {3}).empty()) << name;
    }
    {
        cng::Api api = Loaded();
        api.FinishHash = FailingFinishHash;
        cng::ScopedOverride failing(api);
        EXPECT_EQ(EncryptText(text, kPassword), L"");
        std::wstring opened = L"stale";
        EXPECT_FALSE(OpenEnvelope(envelope, kPassword, opened));
        EXPECT_EQ(opened, L"");
        EXPECT_EQ(DecryptText(zeroTag, kPassword), L"");
    }
    EXPECT_EQ(DecryptText(envelope, kPassword), text);
}

// A bcrypt.dll without one of the functions (or none at all) fails every operation.
TEST(Envelope, FailsEveryOperationWhenCngIsIncomplete) {
    const std::wstring envelope = EncryptText(L"kept", kPassword);
    {
        cng::Api api = Loaded();
        api.DestroyHash = nullptr;
        cng::ScopedOverride incomplete(api);
        EXPECT_EQ(cng::GetCng(), nullptr);
        EXPECT_EQ(EncryptText(L"text", kPassword), L"");
        EXPECT_EQ(DecryptText(envelope, kPassword), L"");
        EXPECT_TRUE(GenerateRandomBytes().empty());
    }
    EXPECT_EQ(cng::GetCng(), cng::LoadedCng());
}

// bcrypt.dll comes from the system folder even with a broken one beside the exe: a copy of this
// program, run next to a planted bcrypt.dll, still computes an HMAC.
TEST(Envelope, IgnoresABcryptDllBesideTheExe) {
    wchar_t self[MAX_PATH] = L"";
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring folder(self);
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1) + L"planted";
    const std::wstring copy = folder + L"\\crypto_tests.exe";
    const std::wstring planted = folder + L"\\bcrypt.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
    {
        std::ofstream dll(planted.c_str(), std::ios::binary | std::ios::trunc);
        dll << "MZ not a library";
    }
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    UniqueHandle nul = MakeUniqueFileHandle(
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul.get();
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + copy + L"\" --gtest_filter=Envelope.HmacMatchesRfc4231AcrossItsThreeParts";
    ASSERT_TRUE(CreateProcessW(copy.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                               &process));
    UniqueHandle child(process.hProcess);
    UniqueHandle thread(process.hThread);
    DWORD exitCode = 1;
    EXPECT_EQ(WaitForSingleObject(child.get(), 60000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(child.get(), &exitCode));
    EXPECT_EQ(exitCode, 0u) << "the copy beside the planted bcrypt.dll failed";
    DeleteFileW(copy.c_str());
    DeleteFileW(planted.c_str());
    RemoveDirectoryW(folder.c_str());
}
