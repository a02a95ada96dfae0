#include "bundle/p256_encoding.h"

namespace {

constexpr std::string_view kBeginPublicKey = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kEndPublicKey = "-----END PUBLIC KEY-----";

// SubjectPublicKeyInfo of a P-256 key up to its point, which is uncompressed
// (04): SEQUENCE { SEQUENCE { OID id-ecPublicKey, OID prime256v1 },
// BIT STRING (no unused bits) }. Named curves give exactly these bytes.
constexpr unsigned char kP256InfoPrefix[] = {
    0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01, 0x06,
    0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
// id-ecPublicKey's encoding, to tell an EC key on another curve apart.
constexpr std::string_view kEcPublicKeyOid = "\x06\x07\x2a\x86\x48\xce\x3d\x02\x01";

constexpr unsigned char kDerSequence = 0x30;
constexpr unsigned char kDerInteger = 0x02;

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One DER INTEGER at der[at], positive and minimally encoded, as the
// coordinate's 32 big-endian bytes; at moves past it.
std::optional<std::string> ReadCoordinate(std::string_view der, std::size_t& at) {
  if (der.size() - at < 2 || static_cast<unsigned char>(der[at]) != kDerInteger) return {};
  const std::size_t length = static_cast<unsigned char>(der[at + 1]);
  at += 2;
  // Short-form lengths only: an integer of 33 bytes at most needs no other.
  if (length == 0 || length > kP256CoordinateBytes + 1 || der.size() - at < length) return {};
  std::string_view value = der.substr(at, length);
  at += length;
  const auto byte = [&value](std::size_t i) { return static_cast<unsigned char>(value[i]); };
  if ((byte(0) & 0x80) != 0) return {};  // negative
  if (value.size() > 1 && byte(0) == 0 && (byte(1) & 0x80) == 0) return {};  // not minimal
  if (byte(0) == 0 && value.size() > 1) value.remove_prefix(1);
  if (value.size() > kP256CoordinateBytes) return {};
  return std::string(kP256CoordinateBytes - value.size(), '\0') + std::string(value);
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
  std::string bytes;
  unsigned bits = 0;
  int bitCount = 0;
  std::size_t padding = 0;
  std::size_t digits = 0;
  for (const char c : text) {
    if (IsBlank(c)) continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0 || padding > 0) return {};  // a digit after the padding
    ++digits;
    bits = (bits << 6) | static_cast<unsigned>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      bytes += static_cast<char>((bits >> bitCount) & 0xFF);
    }
  }
  // Whole groups of four, the padding making up the last.
  if ((digits + padding) % 4 != 0 || padding > 2 || (digits % 4 == 1)) return {};
  if (padding != (4 - digits % 4) % 4) return {};
  // The bits left over must be zero: another text would decode the same.
  if ((bits & ((1u << bitCount) - 1)) != 0) return {};
  return bytes;
}

P256PublicKey ParseP256PublicKeyPem(std::string_view pem) {
  P256PublicKey key;
  const std::size_t begin = pem.find(kBeginPublicKey);
  const std::size_t end =
      begin == std::string_view::npos ? begin : pem.find(kEndPublicKey, begin);
  if (end == std::string_view::npos) {
    key.Problem = pem.find("PRIVATE KEY-----") != std::string_view::npos
                      ? "is a private key: give its public key (openssl pkey -in key.pem -pubout)"
                      : "is not PEM \"PUBLIC KEY\"";
    return key;
  }
  const std::size_t bodyStart = begin + kBeginPublicKey.size();
  const std::optional<std::string> info = DecodeBase64(pem.substr(bodyStart, end - bodyStart));
  if (!info) {
    key.Problem = "is PEM \"PUBLIC KEY\" but its base64 is damaged";
    return key;
  }
  const std::string_view prefix(reinterpret_cast<const char*>(kP256InfoPrefix),
                                sizeof kP256InfoPrefix);
  if (info->size() == prefix.size() + kP256PointBytes && info->compare(0, prefix.size(), prefix) == 0) {
    key.Point = info->substr(prefix.size());
    return key;
  }
  key.Problem = info->find(kEcPublicKeyOid) != std::string::npos
                    ? "is an EC key, but not on P-256 (prime256v1) with an uncompressed point"
                    : "is not an EC key on P-256 (prime256v1)";
  return key;
}

std::optional<std::string> P256SignatureFromDer(std::string_view der) {
  // A P-256 signature is 72 bytes at most: short-form lengths throughout.
  if (der.size() < 2 || static_cast<unsigned char>(der[0]) != kDerSequence ||
      static_cast<unsigned char>(der[1]) != der.size() - 2) {
    return {};
  }
  std::size_t at = 2;
  const std::optional<std::string> r = ReadCoordinate(der, at);
  if (!r) return {};
  const std::optional<std::string> s = ReadCoordinate(der, at);
  if (!s || at != der.size()) return {};
  return *r + *s;
}
