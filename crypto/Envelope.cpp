// The sealed-text envelope on Windows CNG (bcrypt) and crypt32.
// Every call stands alone: providers, keys and buffers live for one call and are released on
// every path; key material and key schedules are wiped before their memory is freed.
#include "crypto/Envelope.h"
#include "crypto/EnvelopeInternals.h"
#include "core/UniqueHandles.h"

#include <wincrypt.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <random>

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

UniqueBCryptAlg OpenProvider(LPCWSTR algorithm, ULONG flags) {
    BCRYPT_ALG_HANDLE raw = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&raw, algorithm, nullptr, flags)))
        return UniqueBCryptAlg();
    return UniqueBCryptAlg(raw);
}

bool GetObjectLength(BCRYPT_ALG_HANDLE alg, ULONG& length) {
    DWORD value = 0;
    ULONG written = 0;
    if (!Succeeded(BCryptGetProperty(alg, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&value), sizeof(value),
                                     &written, 0)) ||
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

bool OpenAesCbc(AesCbc& aes) {
    aes.alg = OpenProvider(BCRYPT_AES_ALGORITHM, 0);
    if (!aes.alg)
        return false;
    // The mode name goes with its terminating zero, as CNG expects for string properties.
    if (!Succeeded(BCryptSetProperty(aes.alg.get(), BCRYPT_CHAINING_MODE, InputBytes(BCRYPT_CHAIN_MODE_CBC),
                                     sizeof(BCRYPT_CHAIN_MODE_CBC), 0)))
        return false;
    return GetObjectLength(aes.alg.get(), aes.keyObjectLength);
}

// keyObject receives the expanded key schedule; the caller wipes it after the key is destroyed.
bool CreateAesKey(const AesCbc& aes, Bytes& keyMaterial, Bytes& keyObject, UniqueBCryptKey& key) {
    ULONG keyBytes = 0;
    if (!ToUlong(keyMaterial.size(), keyBytes))
        return false;
    keyObject.assign(aes.keyObjectLength, 0);
    BCRYPT_KEY_HANDLE raw = nullptr;
    if (!Succeeded(BCryptGenerateSymmetricKey(aes.alg.get(), &raw, keyObject.data(), aes.keyObjectLength,
                                              keyMaterial.data(), keyBytes, 0)))
        return false;
    key.reset(raw);
    return true;
}

// BCryptEncrypt and BCryptDecrypt share one signature.
using CipherCall = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE, PUCHAR, ULONG, VOID*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG*,
                                     ULONG);

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

// crypt32 is lenient: it skips white space, stops at the first "=" and ignores whatever
// follows it (so "tag=:junk" would decode), accepts missing padding and ignores the unused
// trailing bits. A sealed text has exactly one spelling, so anything else is refused here.
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

Bytes FallbackRandomBytes() {
    std::uint32_t device = 0;
    try {
        std::random_device source;
        device = source();
    } catch (...) {
        // No device: the clock and the thread id still seed the generator.
    }
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    std::mt19937 generator(static_cast<std::uint32_t>(static_cast<std::uint64_t>(nanoseconds)) ^ device ^
                           static_cast<std::uint32_t>(GetCurrentThreadId()));
    Bytes bytes(kRandomBytes);
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(generator() >> 24);
    return bytes;
}

} // namespace

Bytes GenerateRandomBytes() {
    Bytes bytes(kRandomBytes);
    if (Succeeded(
            BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return bytes;
    return FallbackRandomBytes();
}

std::wstring Base64Encode(const Bytes& bytes) {
    constexpr DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    // Keeps 4 * ceil(n / 3) characters plus the terminator within a DWORD.
    if (bytes.size() > (kMaxUlong - 4) / 4 * 3)
        return std::wstring();
    const DWORD size = static_cast<DWORD>(bytes.size());
    DWORD chars = 0;
    if (!CryptBinaryToStringW(bytes.data(), size, flags, nullptr, &chars) || chars == 0)
        return std::wstring();
    std::wstring text(chars, L'\0');
    if (!CryptBinaryToStringW(bytes.data(), size, flags, &text[0], &chars))
        return std::wstring();
    text.resize(chars); // the count written leaves out the terminating zero
    return text;
}

Bytes Base64Decode(std::wstring_view text) {
    const size_t expected = CanonicalBase64Length(text);
    DWORD chars = 0;
    if (expected == 0 || !ToUlong(text.size(), chars))
        return Bytes();
    // The field is a slice of the envelope: its length is passed instead of a terminator.
    DWORD size = 0;
    if (!CryptStringToBinaryW(text.data(), chars, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr) ||
        size < expected)
        return Bytes();
    Bytes bytes(size);
    if (!CryptStringToBinaryW(text.data(), chars, CRYPT_STRING_BASE64, bytes.data(), &size, nullptr, nullptr) ||
        size != expected)
        return Bytes();
    bytes.resize(size);
    return bytes;
}

bool DeriveKeyPbkdf2(const std::wstring& password, const Bytes& salt, Bytes& out) {
    UniqueBCryptAlg prf = OpenProvider(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
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
    return Succeeded(BCryptDeriveKeyPBKDF2(prf.get(), InputBytes(password.c_str()), passwordBytes,
                                           InputBytes(salt.data()), salt.size(), kPbkdf2Iterations, out.data(),
                                           outBytes, 0));
}

Bytes ComputeHmacSha256(const Bytes& key, const Bytes& first, const Bytes& second, const Bytes& third) {
    Bytes digest(kKeyBytes, 0);
    UniqueBCryptAlg alg = OpenProvider(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    ULONG objectLength = 0;
    ULONG keyBytes = 0;
    if (!alg || !GetObjectLength(alg.get(), objectLength) || !ToUlong(key.size(), keyBytes))
        return digest;
    Bytes hashObject(objectLength); // holds the keyed state
    WipeOnExit<Bytes> wipeHashObject(hashObject);
    BCRYPT_HASH_HANDLE raw = nullptr;
    if (!Succeeded(
            BCryptCreateHash(alg.get(), &raw, hashObject.data(), objectLength, InputBytes(key.data()), keyBytes, 0)))
        return digest;
    UniqueBCryptHash hash(raw);
    bool ok = true;
    for (const Bytes* part : {&first, &second, &third}) {
        ULONG partBytes = 0;
        ok = ok && ToUlong(part->size(), partBytes) &&
             Succeeded(BCryptHashData(hash.get(), InputBytes(part->data()), partBytes, 0));
    }
    ok = ok && Succeeded(BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
    if (!ok)
        digest.assign(kKeyBytes, 0);
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

std::wstring EncryptText(const std::wstring& plainText, const std::wstring& password) {
    if (password.empty())
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
    if (!OpenAesCbc(aes))
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
    if (!CreateAesKey(aes, encryptionKey, keyObject, key))
        return std::wstring();

    // wchar_t is UTF-16LE on Windows: the text's own buffer is the plain bytes.
    ULONG cipherBytes = 0;
    if (!RunCipher(BCryptEncrypt, key.get(), plainText.data(), plainBytes, iv, nullptr, 0, cipherBytes))
        return std::wstring();
    Bytes ciphertext(cipherBytes);
    if (!RunCipher(BCryptEncrypt, key.get(), plainText.data(), plainBytes, iv, ciphertext.data(), cipherBytes,
                   cipherBytes))
        return std::wstring();
    ciphertext.resize(cipherBytes);
    const Bytes tag = ComputeHmacSha256(macKey, salt, iv, ciphertext);

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
    if (salt.empty() || iv.empty() || ciphertext.empty() || storedTag.empty() ||
        !ToUlong(ciphertext.size(), cipherBytes))
        return false;

    AesCbc aes;
    if (!OpenAesCbc(aes))
        return false;
    // The tag is checked before the encryption key is derived: a wrong password costs one
    // derivation and nothing is ever decrypted with it.
    Bytes macKey(kKeyBytes, 0);
    WipeOnExit<Bytes> wipeMacKey(macKey);
    if (!DeriveKeyPbkdf2(password, Complement(salt), macKey) ||
        !TagsEqual(ComputeHmacSha256(macKey, salt, iv, ciphertext), storedTag))
        return false;

    Bytes encryptionKey(kKeyBytes, 0);
    WipeOnExit<Bytes> wipeEncryptionKey(encryptionKey);
    Bytes keyObject;
    WipeOnExit<Bytes> wipeKeyObject(keyObject);
    UniqueBCryptKey key;
    if (!DeriveKeyPbkdf2(password, salt, encryptionKey) || !CreateAesKey(aes, encryptionKey, keyObject, key))
        return false;
    ULONG plainBytes = 0;
    if (!RunCipher(BCryptDecrypt, key.get(), ciphertext.data(), cipherBytes, iv, nullptr, 0, plainBytes))
        return false;
    // One spare unit, so an odd byte count still fits and the text stays zero-terminated.
    const size_t units = (static_cast<size_t>(plainBytes) + 1) / 2 + 1;
    ULONG capacity = 0;
    if (!ToUlong(units * sizeof(wchar_t), capacity))
        return false;
    std::wstring text(units, L'\0');
    if (!RunCipher(BCryptDecrypt, key.get(), ciphertext.data(), cipherBytes, iv, &text[0], capacity, plainBytes) ||
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
