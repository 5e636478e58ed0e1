// Building blocks of the sealed-text envelope, declared here so the unit tests can reach them.
// The program itself only uses the four functions of Envelope.h. Tests make the platform's
// generator or hash fail with cng::ScopedOverride (crypto/Cng.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace envelope_internals {

using Bytes = std::vector<unsigned char>;

inline constexpr size_t kRandomBytes = 16; // salt and IV
inline constexpr size_t kKeyBytes = 32;    // AES-256 key, HMAC key, tag
inline constexpr unsigned long kPbkdf2Iterations = 100000;

// 16 bytes from the system generator, or no bytes when it fails (there is no fallback: a
// guessable salt or IV must never be sealed).
Bytes GenerateRandomBytes();

// Standard Base64 with "=" padding and no line breaks; "" for no bytes.
std::wstring Base64Encode(const Bytes& bytes);

// Decodes one canonical Base64 field: length a multiple of four, only the standard alphabet,
// at most two "=" at the end, unused trailing bits zero. Anything else, and "", gives no bytes.
Bytes Base64Decode(std::wstring_view text);

// PBKDF2-HMAC-SHA-256 over the password's UTF-16LE code units plus one zero unit. Fills out
// (32 bytes when it comes in empty). False when the platform fails.
bool DeriveKeyPbkdf2(const std::wstring& password, const Bytes& salt, Bytes& out);

// HMAC-SHA-256 of first || second || third: 32 bytes, or no bytes when the platform fails.
Bytes ComputeHmacSha256(const Bytes& key, const Bytes& first, const Bytes& second, const Bytes& third);

} // namespace envelope_internals
