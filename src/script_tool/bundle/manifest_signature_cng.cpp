// The Windows build's hashing, with CNG (bcrypt.dll, in System32 since
// Vista). It does not sign: the release pipeline signs with the Linux build.

#include "script_tool/bundle/manifest_signature.h"

#include "script_tool/bundle/manifest.h"

#include <windows.h>
#include <bcrypt.h>

namespace {

constexpr ULONG kSha256Bytes = 32;
constexpr const char* kNeedsLinux =
    "needs the Linux build of devidudi-script: the Windows build hashes but does not sign "
    "or check signatures";

}  // namespace

// One provider and one hash object, each closed once by its owner. With no
// buffer given, BCryptCreateHash allocates the hash object itself (Windows 7
// and later), so no BCRYPT_OBJECT_LENGTH query is needed.
struct Sha256::State {
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  BCRYPT_HASH_HANDLE Hash = nullptr;
  bool Failed = false;
  ~State() {
    if (Hash != nullptr) BCryptDestroyHash(Hash);
    if (Algorithm != nullptr) BCryptCloseAlgorithmProvider(Algorithm, 0);
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  // NTSTATUS: 0 or above is success (BCRYPT_SUCCESS).
  state_->Failed =
      BCryptOpenAlgorithmProvider(&state_->Algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0 ||
      BCryptCreateHash(state_->Algorithm, &state_->Hash, nullptr, 0, nullptr, 0, 0) < 0;
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) {
  // BCryptHashData takes a ULONG count: large parts go in pieces.
  constexpr std::size_t kMostAtOnce = 1u << 30;
  auto* bytes = static_cast<unsigned char*>(const_cast<void*>(data));
  while (!state_->Failed && size > 0) {
    const std::size_t part = size < kMostAtOnce ? size : kMostAtOnce;
    state_->Failed = BCryptHashData(state_->Hash, bytes, static_cast<ULONG>(part), 0) < 0;
    bytes += part;
    size -= part;
  }
}

std::string Sha256::FinishHex() {
  unsigned char digest[kSha256Bytes];
  if (state_->Failed || BCryptFinishHash(state_->Hash, digest, kSha256Bytes, 0) < 0) return {};
  state_->Failed = true;  // once only
  return LowercaseHex(digest, kSha256Bytes);
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.FinishHex();
}

bool CanSignManifests() { return false; }

std::string ProblemOfPrivateKey(std::string_view) { return kNeedsLinux; }
std::string ProblemOfPublicKey(std::string_view) { return kNeedsLinux; }

ManifestSignature SignManifest(std::string_view, std::string_view) {
  return {{}, kNeedsLinux};
}

std::string CheckManifestSignature(std::string_view, std::string_view, std::string_view) {
  return std::string("cannot be checked: ") + kNeedsLinux;
}
