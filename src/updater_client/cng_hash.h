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

// What became of a signature's check; the one judgement VerifyUpdate and
// the toolkit's Windows build both word in their own way.
enum class SignatureCheck {
  Good,
  Empty,       // no bytes at all
  NotDer,      // not a DER-encoded ECDSA-Sig-Value of P-256 (damaged, cut short)
  NotByKey,    // a signature of other bytes, or by another key
  KeyRefused,  // CNG does not take the point as a P-256 key
  Failed,      // the system could not check it; Error says why
};
struct SignatureOutcome {
  SignatureCheck Result = SignatureCheck::Failed;
  DWORD Error = ERROR_SUCCESS;
};

// Checks that der (as `openssl dgst -sha256 -sign` writes it) is an ECDSA
// signature over SHA-256 of signedBytes by the P-256 key at point (X || Y,
// kP256PointBytes, as ParseP256PublicKeyPem gives it).
SignatureOutcome CheckDerSignature(std::string_view signedBytes, std::string_view der,
                                   std::string_view point);

}  // namespace devidudi
