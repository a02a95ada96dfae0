// The P-256 key and signature encodings OpenSSL writes, taken apart for CNG:
// natively and under Wine, on the shared vectors and on bytes one step off
// each rule.
#include "bundle/p256_encoding.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

const std::string kVectors = std::string(DEVIDUDI_SOURCE_DIR) + "/tests/fixtures/bundle_vectors/";

std::string Vector(const std::string& name) {
  std::ifstream in(kVectors + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int value : values) bytes += static_cast<char>(value);
  return bytes;
}

TEST(DecodeBase64, TakesOnlyCanonicalBase64) {
  const struct {
    const char* text;
    bool decodes;
    const char* bytes;
  } rows[] = {
      {"", true, ""},
      {"TWFu", true, "Man"},
      {"TWE=", true, "Ma"},
      {"TQ==", true, "M"},
      {"TW\r\nFu\n", true, "Man"},
      {"TQ", false, ""},        // padding missing
      {"TQ===", false, ""},     // too much padding
      {"TR==", false, ""},      // bits left over that are not zero
      {"TQ=A", false, ""},      // a digit after the padding
      {"TW-u", false, ""},      // base64url's digit
      {"T", false, ""},
  };
  for (const auto& row : rows) {
    const std::optional<std::string> decoded = DecodeBase64(row.text);
    EXPECT_EQ(decoded.has_value(), row.decodes) << row.text;
    if (decoded && row.decodes) {
      EXPECT_EQ(*decoded, row.bytes) << row.text;
    }
  }
}

TEST(ParseP256PublicKeyPem, TakesAnOpensslP256PublicKeyAlone) {
  const std::string good = Vector("public.pem");
  std::string damaged = good;
  damaged[damaged.find('\n') + 5] = '*';
  std::string otherCurve = good;  // prime256v1's last OID byte, 07, made 08
  const struct {
    const char* row;
    std::string pem;
    const char* problem;  // empty for a key that is taken
  } rows[] = {
      {"the vectors' public key", good, ""},
      {"with CR LF line ends and text around it",
       "a comment\r\n" + std::string(good).replace(good.find('\n'), 1, "\r\n") + "more\n", ""},
      {"the private key", Vector("key.pem"), "is a private key"},
      {"a key on P-384", Vector("p384-public.pem"), "not on P-256"},
      {"damaged base64", damaged, "base64 is damaged"},
      {"no PEM at all", "hello", "is not PEM \"PUBLIC KEY\""},
      {"a block without its end", good.substr(0, 40), "is not PEM \"PUBLIC KEY\""},
  };
  for (const auto& row : rows) {
    const P256PublicKey key = ParseP256PublicKeyPem(row.pem);
    EXPECT_NE(key.Problem.find(row.problem), std::string::npos) << row.row << ": " << key.Problem;
    EXPECT_EQ(key.Problem.empty(), std::string(row.problem).empty()) << row.row;
    EXPECT_EQ(key.Point.size(), key.Problem.empty() ? kP256PointBytes : 0u) << row.row;
  }
  // X begins right after the uncompressed point's 04 (openssl pkey -outform DER).
  EXPECT_EQ(ParseP256PublicKeyPem(good).Point.substr(0, 4), Bytes({0x62, 0x5e, 0xfa, 0x82}));
}

TEST(P256SignatureFromDer, TakesStrictDerAlone) {
  const std::string vector = Vector("bundle/MANIFEST.sig");  // r of 32 bytes, s of 33
  const std::string r(32, '\x11');
  const std::string high = std::string(1, '\0') + std::string(32, '\x80');  // 33 bytes: a leading zero needed
  const auto sequence = [](const std::string& content) {
    return Bytes({0x30, static_cast<int>(content.size())}) + content;
  };
  const auto integer = [](const std::string& value) {
    return Bytes({0x02, static_cast<int>(value.size())}) + value;
  };
  const struct {
    const char* row;
    std::string der;
    bool taken;
    std::string raw;
  } rows[] = {
      {"the vectors' signature", vector, true, vector.substr(4, 32) + vector.substr(39, 32)},
      {"short integers are padded", sequence(integer("\x05") + integer("\x06")), true,
       std::string(31, '\0') + "\x05" + std::string(31, '\0') + "\x06"},
      {"a leading zero before a high byte", sequence(integer(high) + integer(r)), true,
       high.substr(1) + r},
      {"a needless leading zero", sequence(integer(std::string("\x00\x11", 2)) + integer(r)),
       false, ""},
      {"a negative integer", sequence(integer("\x80") + integer(r)), false, ""},
      {"an integer of 33 bytes", sequence(integer(std::string(33, '\x11')) + integer(r)), false, ""},
      {"an empty integer", sequence(integer("") + integer(r)), false, ""},
      {"a byte after the sequence", sequence(integer(r) + integer(r)) + std::string(1, '\0'), false, ""},
      {"a byte inside after s", sequence(integer(r) + integer(r) + std::string(1, '\0')), false, ""},
      {"a length beyond the end", vector.substr(0, vector.size() - 1), false, ""},
      {"not a sequence", "\x31" + vector.substr(1), false, ""},
      {"one integer only", sequence(integer(r)), false, ""},
      {"nothing", "", false, ""},
  };
  for (const auto& row : rows) {
    const std::optional<std::string> raw = P256SignatureFromDer(row.der);
    EXPECT_EQ(raw.has_value(), row.taken) << row.row;
    if (raw && row.taken) {
      EXPECT_EQ(*raw, row.raw) << row.row;
    }
  }
}

}  // namespace
