// The sealed-text envelope on Windows CNG, reached through the table of crypto/Cng.h.
// Every call stands alone: providers, keys and buffers live for one call and are released on
// every path; key material and key schedules are wiped before their memory is freed.
// The envelope fails closed: when CNG cannot be loaded, or its generator or hash fails, no
// envelope is written and none is opened.
#include "crypto/Envelope.h"
#include "crypto/EnvelopeInternals.h"
#include "crypto/CngHandles.h"

#include <cstdint>
#include <limits>

namespace envelope_internals {
namespace {

constexpr ULONG kMaxUlong = std::numeric_limits<ULONG>::max();
constexpr ULONG kAesBlockBytes = 16;

// Converts a size for a platform call; anything that does not fit in 32 bits is a failure,
// never a silently shortened buffer.
bool ToUlong(size_t value, ULONG& out) {
    if (value > kMaxUlong)
        return false;
    out = static_cast<ULONG>(value);
    return true;
}

bool Succeeded(NTSTATUS status) {
    return status == 0;
}

// CNG takes non-const buffers even for input it only reads.
PUCHAR InputBytes(const void* data) {
    return static_cast<PUCHAR>(const_cast<void*>(data));
}

// Wipes a buffer when the scope ends, whatever path leaves it. Declare it before any handle
// that uses the buffer, so the handle is released first.
template <class Buffer> class WipeOnExit {
public:
    explicit WipeOnExit(Buffer& buffer) : buffer_(buffer) {}
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;
    ~WipeOnExit() {
        if (!buffer_.empty())
            SecureZeroMemory(&buffer_[0], buffer_.size() * sizeof(buffer_[0]));
    }

private:
    Buffer& buffer_;
};

UniqueBCryptAlg OpenProvider(const cng::Api& api, LPCWSTR algorithm, ULONG flags) {
    BCRYPT_ALG_HANDLE raw = nullptr;
    if (!Succeeded(api.OpenAlgorithmProvider(&raw, algorithm, nullptr, flags)))
        return UniqueBCryptAlg();
    return UniqueBCryptAlg(raw);
}

bool GetObjectLength(const cng::Api& api, BCRYPT_ALG_HANDLE alg, ULONG& length) {
    DWORD value = 0;
    ULONG written = 0;
    if (!Succeeded(
            api.GetProperty(alg, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&value), sizeof(value), &written, 0)) ||
        written != sizeof(value))
        return false;
    length = value;
    return true;
}

// The AES provider in CBC mode and the size of its key objects.
struct AesCbc {
    UniqueBCryptAlg alg;
    ULONG keyObjectLength = 0;
};

bool OpenAesCbc(const cng::Api& api, AesCbc& aes) {
    aes.alg = OpenProvider(api, BCRYPT_AES_ALGORITHM, 0);
    if (!aes.alg)
        return false;
    // The mode name goes with its terminating zero, as CNG expects for string properties.
    if (!Succeeded(api.SetProperty(aes.alg.get(), BCRYPT_CHAINING_MODE, InputBytes(BCRYPT_CHAIN_MODE_CBC),
                                   sizeof(BCRYPT_CHAIN_MODE_CBC), 0)))
        return false;
    return GetObjectLength(api, aes.alg.get(), aes.keyObjectLength);
}

// keyObject receives the expanded key schedule; the caller wipes it after the key is destroyed.
bool CreateAesKey(const cng::Api& api, const AesCbc& aes, Bytes& keyMaterial, Bytes& keyObject, UniqueBCryptKey& key) {
    ULONG keyBytes = 0;
    if (!ToUlong(keyMaterial.size(), keyBytes))
        return false;
    keyObject.assign(aes.keyObjectLength, 0);
    BCRYPT_KEY_HANDLE raw = nullptr;
    if (!Succeeded(api.GenerateSymmetricKey(aes.alg.get(), &raw, keyObject.data(), aes.keyObjectLength,
                                            keyMaterial.data(), keyBytes, 0)))
        return false;
    key.reset(raw);
    return true;
}

// BCryptEncrypt and BCryptDecrypt share one signature.
using CipherCall = decltype(cng::Api::Encrypt);

// One block-padded CBC pass, or its size query when output is null. The platform advances the
// IV buffer it is handed, so every pass starts from its own copy.
bool RunCipher(CipherCall call, BCRYPT_KEY_HANDLE key, const void* input, ULONG inputBytes, const Bytes& iv,
               void* output, ULONG outputBytes, ULONG& written) {
    Bytes ivCopy(iv);
    ULONG ivBytes = 0;
    if (!ToUlong(ivCopy.size(), ivBytes))
        return false;
    written = 0;
    return Succeeded(call(key, InputBytes(input), inputBytes, nullptr, ivCopy.data(), ivBytes,
                          static_cast<PUCHAR>(output), outputBytes, &written, BCRYPT_BLOCK_PADDING));
}

Bytes Complement(const Bytes& bytes) {
    Bytes result(bytes);
    for (unsigned char& b : result)
        b = static_cast<unsigned char>(~b);
    return result;
}

// Compares the whole length whatever differs, so the time taken tells nothing about the tag.
bool TagsEqual(const Bytes& expected, const Bytes& stored) {
    if (expected.size() != stored.size())
        return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>(expected[i] ^ stored[i]);
    return difference == 0;
}

constexpr wchar_t kBase64Alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(wchar_t c) {
    if (c >= L'A' && c <= L'Z')
        return c - L'A';
    if (c >= L'a' && c <= L'z')
        return c - L'a' + 26;
    if (c >= L'0' && c <= L'9')
        return c - L'0' + 52;
    if (c == L'+')
        return 62;
    if (c == L'/')
        return 63;
    return -1;
}

// A sealed text has exactly one spelling: no white space, no missing or inner padding, no
// stray trailing bits, nothing after the "=" (so "tag=:junk" does not decode).
// Returns the number of bytes the field holds, 0 when it is not canonical.
size_t CanonicalBase64Length(std::wstring_view text) {
    if (text.empty() || text.size() % 4 != 0)
        return 0;
    size_t padding = 0;
    if (text.back() == L'=')
        padding = text[text.size() - 2] == L'=' ? 2 : 1;
    const size_t dataChars = text.size() - padding;
    for (size_t i = 0; i < dataChars; ++i) {
        if (Base64Value(text[i]) < 0)
            return 0;
    }
    // "xx==" uses 2 bits of its last data character, "xxx=" uses 4.
    const int unusedBits = padding == 2 ? 0x0F : padding == 1 ? 0x03 : 0;
    if (Base64Value(text[dataChars - 1]) & unusedBits)
        return 0;
    return text.size() / 4 * 3 - padding;
}

} // namespace

Bytes GenerateRandomBytes() {
    const cng::Api* api = cng::GetCng();
    Bytes bytes(kRandomBytes);
    if (!api || !Succeeded(api->GenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return Bytes();
    return bytes;
}

std::wstring Base64Encode(const Bytes& bytes) {
    const size_t size = bytes.size();
    std::wstring text;
    if (size == 0 || size / 3 >= text.max_size() / 4 - 1)
        return text;
    text.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        const size_t left = size - i;
        const std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16 |
                                    (left > 1 ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0) |
                                    (left > 2 ? bytes[i + 2] : 0);
        text += kBase64Alphabet[group >> 18];
        text += kBase64Alphabet[group >> 12 & 0x3F];
        text += left > 1 ? kBase64Alphabet[group >> 6 & 0x3F] : L'=';
        text += left > 2 ? kBase64Alphabet[group & 0x3F] : L'=';
    }
    return text;
}

Bytes Base64Decode(std::wstring_view text) {
    const size_t length = CanonicalBase64Length(text);
    if (length == 0)
        return Bytes();
    Bytes bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t group = 0;
        for (size_t j = i; j < i + 4; ++j) // the padding counts as zero bits, cut off below
            group = group << 6 | (text[j] == L'=' ? 0 : static_cast<std::uint32_t>(Base64Value(text[j])));
        bytes.push_back(static_cast<unsigned char>(group >> 16));
        bytes.push_back(static_cast<unsigned char>(group >> 8 & 0xFF));
        bytes.push_back(static_cast<unsigned char>(group & 0xFF));
    }
    bytes.resize(length);
    return bytes;
}

bool DeriveKeyPbkdf2(const std::wstring& password, const Bytes& salt, Bytes& out) {
    const cng::Api* api = cng::GetCng();
    if (!api)
        return false;
    UniqueBCryptAlg prf = OpenProvider(*api, BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    if (!prf)
        return false;
    if (out.empty())
        out.assign(kKeyBytes, 0);
    // c_str() ends in the zero unit that takes part in the derivation. The caller's own
    // buffer is read in place, so no copy of the password is left behind to wipe.
    ULONG passwordBytes = 0;
    ULONG outBytes = 0;
    if (password.size() >= kMaxUlong / sizeof(wchar_t) ||
        !ToUlong((password.size() + 1) * sizeof(wchar_t), passwordBytes) || !ToUlong(out.size(), outBytes))
        return false;
    return Succeeded(api->DeriveKeyPBKDF2(prf.get(), InputBytes(password.c_str()), passwordBytes,
                                          InputBytes(salt.data()), salt.size(), kPbkdf2Iterations, out.data(), outBytes,
                                          0));
}

Bytes ComputeHmacSha256(const Bytes& key, const Bytes& first, const Bytes& second, const Bytes& third) {
    const cng::Api* api = cng::GetCng();
    if (!api)
        return Bytes();
    UniqueBCryptAlg alg = OpenProvider(*api, BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    ULONG objectLength = 0;
    ULONG keyBytes = 0;
    if (!alg || !GetObjectLength(*api, alg.get(), objectLength) || !ToUlong(key.size(), keyBytes))
        return Bytes();
    Bytes hashObject(objectLength); // holds the keyed state
    WipeOnExit<Bytes> wipeHashObject(hashObject);
    BCRYPT_HASH_HANDLE raw = nullptr;
    if (!Succeeded(
            api->CreateHash(alg.get(), &raw, hashObject.data(), objectLength, InputBytes(key.data()), keyBytes, 0)))
        return Bytes();
    UniqueBCryptHash hash(raw);
    for (const Bytes* part : {&first, &second, &third}) {
        ULONG partBytes = 0;
        if (!ToUlong(part->size(), partBytes) ||
            !Succeeded(api->HashData(hash.get(), InputBytes(part->data()), partBytes, 0)))
            return Bytes();
    }
    Bytes digest(kKeyBytes, 0);
    if (!Succeeded(api->FinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0)))
        return Bytes();
    return digest;
}

} // namespace envelope_internals

using namespace envelope_internals;

namespace {

constexpr size_t kFieldCount = 4; // salt, IV, ciphertext, tag

// Splits what follows the magic at its first three colons. The tag is everything after the
// third, so a stray colon stays in it and spoils its Base64.
bool SplitFields(std::wstring_view rest, std::wstring_view (&fields)[kFieldCount]) {
    for (size_t i = 0; i + 1 < kFieldCount; ++i) {
        const size_t colon = rest.find(L':');
        if (colon == std::wstring_view::npos)
            return false;
        fields[i] = rest.substr(0, colon);
        rest.remove_prefix(colon + 1);
    }
    fields[kFieldCount - 1] = rest;
    return true;
}

} // namespace

bool IsEnvelope(std::wstring_view text) {
    return text.substr(0, kEnvelopeMagicLength) == std::wstring_view(kEnvelopeMagic, kEnvelopeMagicLength);
}

bool IsWholeEnvelope(std::wstring_view text) {
    std::wstring_view fields[kFieldCount];
    if (!IsEnvelope(text) || !SplitFields(text.substr(kEnvelopeMagicLength), fields))
        return false;
    const Bytes ciphertext = Base64Decode(fields[2]);
    return Base64Decode(fields[0]).size() == kRandomBytes && Base64Decode(fields[1]).size() == kRandomBytes &&
           !ciphertext.empty() && ciphertext.size() % kAesBlockBytes == 0 &&
           Base64Decode(fields[3]).size() == kKeyBytes;
}

std::wstring EncryptText(const std::wstring& plainText, const std::wstring& password) {
    const cng::Api* api = cng::GetCng();
    if (password.empty() || !api)
        return std::wstring();
    const Bytes salt = GenerateRandomBytes();
    const Bytes iv = GenerateRandomBytes();
    ULONG plainBytes = 0;
    // The padded ciphertext, up to one block longer than the text, must still fit in a ULONG.
    if (salt.size() != kRandomBytes || iv.size() != kRandomBytes ||
        plainText.size() > (kMaxUlong - kAesBlockBytes) / sizeof(wchar_t) ||
        !ToUlong(plainText.size() * sizeof(wchar_t), plainBytes))
        return std::wstring();

    // The provider comes first so a platform without AES costs no derivation.
    AesCbc aes;
    if (!OpenAesCbc(*api, aes))
        return std::wstring();
    Bytes encryptionKey(kKeyBytes, 0);
    Bytes macKey(kKeyBytes, 0);
    WipeOnExit<Bytes> wipeEncryptionKey(encryptionKey);
    WipeOnExit<Bytes> wipeMacKey(macKey);
    if (!DeriveKeyPbkdf2(password, salt, encryptionKey) || !DeriveKeyPbkdf2(password, Complement(salt), macKey))
        return std::wstring();
    Bytes keyObject;
    WipeOnExit<Bytes> wipeKeyObject(keyObject);
    UniqueBCryptKey key;
    if (!CreateAesKey(*api, aes, encryptionKey, keyObject, key))
        return std::wstring();

    // wchar_t is UTF-16LE on Windows: the text's own buffer is the plain bytes.
    ULONG cipherBytes = 0;
    if (!RunCipher(api->Encrypt, key.get(), plainText.data(), plainBytes, iv, nullptr, 0, cipherBytes))
        return std::wstring();
    Bytes ciphertext(cipherBytes);
    if (!RunCipher(api->Encrypt, key.get(), plainText.data(), plainBytes, iv, ciphertext.data(), cipherBytes,
                   cipherBytes))
        return std::wstring();
    ciphertext.resize(cipherBytes);
    // No tag, no envelope: a tag the platform failed to compute must never be written.
    const Bytes tag = ComputeHmacSha256(macKey, salt, iv, ciphertext);
    if (tag.size() != kKeyBytes)
        return std::wstring();

    const std::wstring fields[kFieldCount] = {Base64Encode(salt), Base64Encode(iv), Base64Encode(ciphertext),
                                              Base64Encode(tag)};
    std::wstring envelope(kEnvelopeMagic, kEnvelopeMagicLength);
    envelope.reserve(kEnvelopeMagicLength + fields[0].size() + fields[1].size() + fields[2].size() + fields[3].size() +
                     kFieldCount - 1);
    for (size_t i = 0; i < kFieldCount; ++i) {
        if (fields[i].empty())
            return std::wstring();
        if (i > 0)
            envelope += L':';
        envelope += fields[i];
    }
    return envelope;
}

bool OpenEnvelope(const std::wstring& envelope, const std::wstring& password, std::wstring& plainText) {
    plainText.clear();
    std::wstring_view fields[kFieldCount];
    if (!IsEnvelope(envelope) || !SplitFields(std::wstring_view(envelope).substr(kEnvelopeMagicLength), fields))
        return false;
    const Bytes salt = Base64Decode(fields[0]);
    const Bytes iv = Base64Decode(fields[1]);
    const Bytes ciphertext = Base64Decode(fields[2]);
    const Bytes storedTag = Base64Decode(fields[3]);
    ULONG cipherBytes = 0;
    // The IV is one AES block. Another length would reach the platform only after a derivation,
    // to be refused there (Windows) or reported as an internal error (Wine's bcrypt).
    if (salt.empty() || iv.size() != kAesBlockBytes || ciphertext.empty() || storedTag.empty() ||
        !ToUlong(ciphertext.size(), cipherBytes))
        return false;

    const cng::Api* api = cng::GetCng();
    AesCbc aes;
    if (!api || !OpenAesCbc(*api, aes))
        return false;
    // The tag is checked before the encryption key is derived: a wrong password costs one
    // derivation and nothing is ever decrypted with it. A tag the platform failed to compute
    // matches nothing.
    Bytes macKey(kKeyBytes, 0);
    WipeOnExit<Bytes> wipeMacKey(macKey);
    if (!DeriveKeyPbkdf2(password, Complement(salt), macKey))
        return false;
    const Bytes expectedTag = ComputeHmacSha256(macKey, salt, iv, ciphertext);
    if (expectedTag.size() != kKeyBytes || !TagsEqual(expectedTag, storedTag))
        return false;

    Bytes encryptionKey(kKeyBytes, 0);
    WipeOnExit<Bytes> wipeEncryptionKey(encryptionKey);
    Bytes keyObject;
    WipeOnExit<Bytes> wipeKeyObject(keyObject);
    UniqueBCryptKey key;
    if (!DeriveKeyPbkdf2(password, salt, encryptionKey) || !CreateAesKey(*api, aes, encryptionKey, keyObject, key))
        return false;
    ULONG plainBytes = 0;
    if (!RunCipher(api->Decrypt, key.get(), ciphertext.data(), cipherBytes, iv, nullptr, 0, plainBytes))
        return false;
    // One spare unit, so an odd byte count still fits and the text stays zero-terminated.
    const size_t units = (static_cast<size_t>(plainBytes) + 1) / 2 + 1;
    ULONG capacity = 0;
    if (!ToUlong(units * sizeof(wchar_t), capacity))
        return false;
    std::wstring text(units, L'\0');
    if (!RunCipher(api->Decrypt, key.get(), ciphertext.data(), cipherBytes, iv, &text[0], capacity, plainBytes) ||
        plainBytes > capacity) {
        // A failed pass (a padding error, say) may still have left plain bytes behind.
        SecureZeroMemory(&text[0], capacity);
        return false;
    }
    text.resize(plainBytes / sizeof(wchar_t));
    plainText.swap(text);
    return true;
}

std::wstring DecryptText(const std::wstring& envelope, const std::wstring& password) {
    std::wstring plainText;
    OpenEnvelope(envelope, password, plainText); // a failure leaves the text empty, which is the answer
    return plainText;
}
