#pragma once
// The P-256 public key and ECDSA signature as OpenSSL writes them, in the raw
// form Windows' CNG takes: pure functions over bytes, so that the
// application's check of a bundle parses nothing with a system call and a
// test reads every refusal natively.
//
// A public key is PEM "PUBLIC KEY": base64 of a SubjectPublicKeyInfo naming
// id-ecPublicKey on prime256v1 with an uncompressed point (04 || X || Y), as
// `openssl pkey -pubout` writes it. CNG takes X || Y after a
// BCRYPT_ECCKEY_BLOB header.
//
// A signature is DER: SEQUENCE { INTEGER r, INTEGER s } (RFC 3279's
// ECDSA-Sig-Value), as `openssl dgst -sha256 -sign` writes it. CNG takes
// r || s, each 32 bytes big-endian.

#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t kP256CoordinateBytes = 32;
inline constexpr std::size_t kP256PointBytes = 2 * kP256CoordinateBytes;
inline constexpr std::size_t kP256SignatureBytes = 2 * kP256CoordinateBytes;
inline constexpr std::size_t kSha256DigestBytes = 32;

struct P256PublicKey {
  std::string Point;  // X || Y, kP256PointBytes, when Problem is empty
  // Why the text is no P-256 public key, as the end of a sentence that begins
  // with the key's name ("is not PEM \"PUBLIC KEY\"").
  std::string Problem;
};

// The one PEM block "-----BEGIN PUBLIC KEY-----" ... "-----END PUBLIC
// KEY-----" of the text (lines end in LF or CR LF; text around the block is
// ignored, as OpenSSL ignores it), decoded and held to the P-256 form.
P256PublicKey ParseP256PublicKeyPem(std::string_view pem);

// r || s (kP256SignatureBytes) from a DER ECDSA-Sig-Value; nothing for bytes
// that are not exactly one: strict DER (minimal lengths, no trailing bytes,
// minimal positive integers), each integer below 2^256.
std::optional<std::string> P256SignatureFromDer(std::string_view der);

// Standard base64 (RFC 4648, with '=' padding), ignoring line ends and blanks
// between groups; nothing for any other byte or a wrong padding.
std::optional<std::string> DecodeBase64(std::string_view text);
