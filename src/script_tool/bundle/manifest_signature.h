#pragma once
// SHA-256 of a bundle's files and the ECDSA P-256 signature of its MANIFEST,
// the bundle's only calls into a cryptographic library: OpenSSL's EVP API in
// the Linux build (manifest_signature_openssl.cpp), Windows' CNG in the
// Windows build (manifest_signature_cng.cpp, the application library's own
// code), which hashes and checks signatures but does not sign.
//
// The signature is what `openssl dgst -sha256 -sign KEY.pem MANIFEST` writes:
// ECDSA over SHA-256 of the bytes, DER-encoded (ECDSA-Sig-Value). Keys are
// PEM: a private key as `openssl ecparam -name prime256v1 -genkey` or
// `openssl genpkey` writes it, a public key as "PUBLIC KEY".

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// SHA-256 over bytes given in parts, so that a file is read once, its bytes
// hashed and written from the same buffer.
class Sha256 {
 public:
  Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  ~Sha256();
  void Update(const void* data, std::size_t size);
  // 64 lowercase hex digits; empty when the library failed. Once only.
  std::string FinishHex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// SHA-256 of bytes held whole, as 64 lowercase hex digits (empty on failure).
std::string Sha256Hex(std::string_view bytes);

// False in a build that does not sign (Windows): SignManifest and
// ProblemOfPrivateKey then say so and do nothing.
bool CanSignManifests();

struct ManifestSignature {
  std::string Der;    // the signature's bytes, when Error is empty
  std::string Error;  // why there is none: a key that is not P-256, say
};

// Signs with a PEM private key, which must be an EC key on P-256.
ManifestSignature SignManifest(std::string_view manifest, std::string_view privateKeyPem);

// Empty when signature is a good signature of manifest by the PEM public key
// (an EC key on P-256); otherwise why not, as the end of a sentence that
// begins with "MANIFEST.sig".
std::string CheckManifestSignature(std::string_view manifest, std::string_view signature,
                                   std::string_view publicKeyPem);

// Empty when the PEM text is a key SignManifest or CheckManifestSignature
// takes; otherwise why not ("is not a PEM private key", "is an RSA key ...").
std::string ProblemOfPrivateKey(std::string_view privateKeyPem);
std::string ProblemOfPublicKey(std::string_view publicKeyPem);
