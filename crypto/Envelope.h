// The sealed-text envelope "NMCENC_V2:salt:iv:ciphertext:tag": AES-256-CBC with PKCS#7
// padding over the UTF-16LE text, encrypt-then-MAC with HMAC-SHA-256, both keys derived
// with PBKDF2-HMAC-SHA-256 (100,000 iterations) from the password's UTF-16LE code units
// plus one terminating zero unit; the MAC key uses the bitwise complement of the salt.
#pragma once

#include <string>
#include <string_view>

inline constexpr wchar_t kEnvelopeMagic[] = L"NMCENC_V2:";
inline constexpr size_t kEnvelopeMagicLength = 10;

// True when text starts with the envelope magic (exact, case-sensitive, at position 0).
bool IsEnvelope(std::wstring_view text);

// True when text is an envelope with all of its fields in their full lengths, as a write that
// ended leaves it: what can be told of it without the password. A cut one is not.
bool IsWholeEnvelope(std::wstring_view text);

// Seals plainText with password. Returns the envelope, or "" on any failure (an empty
// password is a failure; an empty text is not).
std::wstring EncryptText(const std::wstring& plainText, const std::wstring& password);

// Opens an envelope. Returns the text, or "" on any failure (not an envelope, malformed
// field, wrong password, tampered data). A sealed empty text also gives "".
std::wstring DecryptText(const std::wstring& envelope, const std::wstring& password);

// Like DecryptText, but tells an opened empty text apart from a failure: true with the text,
// or false with plainText emptied.
bool OpenEnvelope(const std::wstring& envelope, const std::wstring& password, std::wstring& plainText);
