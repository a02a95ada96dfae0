// The Windows build's hashing and signature check, with CNG (bcrypt.dll, in
// System32 since Vista) through the application library's own code, so that
// preflight and verify on Windows judge a bundle as VerifyUpdate does. It
// does not sign: the release pipeline signs with the Linux build.

#include "script_tool/bundle/manifest_signature.h"

#include "bundle/manifest.h"
#include "bundle/p256_encoding.h"
#include "updater_client/cng_hash.h"

namespace {

constexpr const char* kNeedsLinux =
    "needs the Linux build of devidudi-script: the Windows build hashes and checks signatures "
    "but does not sign";

}  // namespace

struct Sha256::State {
  devidudi::CngSha256 Hash;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) { state_->Hash.Update(data, size); }

std::string Sha256::FinishHex() {
  const std::optional<devidudi::Sha256Digest> digest = state_->Hash.Finish();
  return digest ? LowercaseHex(digest->data(), digest->size()) : std::string();
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.FinishHex();
}

bool CanSignManifests() { return false; }

std::string ProblemOfPrivateKey(std::string_view) { return kNeedsLinux; }

std::string ProblemOfPublicKey(std::string_view publicKeyPem) {
  return ParseP256PublicKeyPem(publicKeyPem).Problem;
}

ManifestSignature SignManifest(std::string_view, std::string_view) {
  return {{}, kNeedsLinux};
}

std::string CheckManifestSignature(std::string_view manifest, std::string_view signature,
                                   std::string_view publicKeyPem) {
  const P256PublicKey key = ParseP256PublicKeyPem(publicKeyPem);
  if (!key.Problem.empty()) return "cannot be checked: the public key " + key.Problem;
  using devidudi::SignatureCheck;
  const devidudi::SignatureOutcome checked =
      devidudi::CheckDerSignature(manifest, signature, key.Point);
  switch (checked.Result) {
    case SignatureCheck::Good:
      return {};
    case SignatureCheck::Empty:
      return "is empty";
    case SignatureCheck::NotDer:
      return "is not a DER-encoded ECDSA signature (truncated or damaged)";
    case SignatureCheck::NotByKey:
      return "is not a signature of MANIFEST by this key";
    case SignatureCheck::KeyRefused:
      return "cannot be checked: Windows takes no P-256 key from the public key";
    case SignatureCheck::Failed:
      break;
  }
  return "cannot be checked: CNG failed (error " + std::to_string(checked.Error) + ")";
}
