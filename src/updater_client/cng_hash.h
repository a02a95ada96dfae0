#pragma once
// SHA-256 and the check of an ECDSA P-256 signature with Windows' own CNG
// (bcrypt.dll, in System32 since Vista): the application checks an update
// bundle with nothing but the system, and the toolkit's Windows build hashes
// with the same code.

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "bundle/p256_encoding.h"

namespace devidudi {

using Sha256Digest = std::array<unsigned char, kSha256DigestBytes>;

// SHA-256 over bytes given in parts. A failure of the system's provider
// (none is expected) makes Finish give nothing.
class CngSha256 {
 public:
  CngSha256();
  CngSha256(const CngSha256&) = delete;
  CngSha256& operator=(const CngSha256&) = delete;
  ~CngSha256();
  void Update(const void* data, std::size_t size);
  // The digest, once; nothing when the provider failed.
  std::optional<Sha256Digest> Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

std::optional<Sha256Digest> CngSha256Of(std::string_view bytes);

// ERROR_SUCCESS when rawSignature (r || s, kP256SignatureBytes) is a
// signature of digest by the P-256 key at point (X || Y, kP256PointBytes);
// NTE_BAD_SIGNATURE when it is not; another error when the system could not
// check it at all (the provider or the key refused).
DWORD CheckP256Signature(std::string_view point, const Sha256Digest& digest,
                         std::string_view rawSignature);

}  // namespace devidudi
