#include "updater_client/cng_hash.h"

#include <bcrypt.h>

#include <cstring>
#include <string>

namespace devidudi {

namespace {

// NTSTATUS: 0 or above is success (BCRYPT_SUCCESS).
bool Succeeded(NTSTATUS status) { return status >= 0; }

// STATUS_INVALID_SIGNATURE, what BCryptVerifySignature says of a signature
// that does not verify (ntstatus.h is not included beside windows.h).
constexpr NTSTATUS kStatusInvalidSignature = static_cast<NTSTATUS>(0xC000A000L);

class AlgorithmProvider {
 public:
  explicit AlgorithmProvider(const wchar_t* algorithm) {
    if (!Succeeded(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0))) {
      handle_ = nullptr;
    }
  }
  AlgorithmProvider(const AlgorithmProvider&) = delete;
  AlgorithmProvider& operator=(const AlgorithmProvider&) = delete;
  ~AlgorithmProvider() {
    if (handle_ != nullptr) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  BCRYPT_ALG_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class KeyHandle {
 public:
  KeyHandle() = default;
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  ~KeyHandle() {
    if (handle_ != nullptr) BCryptDestroyKey(handle_);
  }
  BCRYPT_KEY_HANDLE* Receive() { return &handle_; }
  BCRYPT_KEY_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

// ERROR_SUCCESS when rawSignature (r || s) is a signature of digest by the
// key at point; NTE_BAD_SIGNATURE when it is not, NTE_BAD_KEY when CNG
// takes no key from the point, another error when it could not check.
DWORD CheckP256Signature(std::string_view point, const Sha256Digest& digest,
                         std::string_view rawSignature) {
  if (point.size() != kP256PointBytes || rawSignature.size() != kP256SignatureBytes) {
    return static_cast<DWORD>(NTE_BAD_SIGNATURE);
  }
  const AlgorithmProvider algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  if (algorithm.Get() == nullptr) return static_cast<DWORD>(NTE_PROV_DLL_NOT_FOUND);
  // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y, big-endian.
  std::string blob(sizeof(BCRYPT_ECCKEY_BLOB), '\0');
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kP256CoordinateBytes};
  std::memcpy(blob.data(), &header, sizeof header);
  blob.append(point);
  KeyHandle key;
  const NTSTATUS imported =
      BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.Receive(),
                          reinterpret_cast<PUCHAR>(blob.data()), static_cast<ULONG>(blob.size()), 0);
  // A point CNG does not take as a P-256 key (one not on the curve, say).
  if (!Succeeded(imported)) return static_cast<DWORD>(NTE_BAD_KEY);
  std::string signature(rawSignature);
  const NTSTATUS verified = BCryptVerifySignature(
      key.Get(), nullptr, const_cast<PUCHAR>(digest.data()), kSha256DigestBytes,
      reinterpret_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0);
  if (Succeeded(verified)) return ERROR_SUCCESS;
  return verified == kStatusInvalidSignature ? static_cast<DWORD>(NTE_BAD_SIGNATURE)
                                             : static_cast<DWORD>(verified);
}

}  // namespace

// One provider and one hash object, each closed once by its owner. With no
// buffer given, BCryptCreateHash allocates the hash object itself (Windows 7
// and later), so no BCRYPT_OBJECT_LENGTH query is needed.
struct CngSha256::State {
  AlgorithmProvider Algorithm{BCRYPT_SHA256_ALGORITHM};
  BCRYPT_HASH_HANDLE Hash = nullptr;
  bool Failed = false;
  ~State() {
    if (Hash != nullptr) BCryptDestroyHash(Hash);
  }
};

CngSha256::CngSha256() : state_(std::make_unique<State>()) {
  state_->Failed =
      state_->Algorithm.Get() == nullptr ||
      !Succeeded(BCryptCreateHash(state_->Algorithm.Get(), &state_->Hash, nullptr, 0, nullptr, 0, 0));
}

CngSha256::~CngSha256() = default;

void CngSha256::Update(const void* data, std::size_t size) {
  // BCryptHashData takes a ULONG count: large parts go in pieces.
  constexpr std::size_t kMostAtOnce = 1u << 30;
  auto* bytes = static_cast<unsigned char*>(const_cast<void*>(data));
  while (!state_->Failed && size > 0) {
    const std::size_t part = size < kMostAtOnce ? size : kMostAtOnce;
    state_->Failed = !Succeeded(BCryptHashData(state_->Hash, bytes, static_cast<ULONG>(part), 0));
    bytes += part;
    size -= part;
  }
}

std::optional<Sha256Digest> CngSha256::Finish() {
  Sha256Digest digest{};
  if (state_->Failed ||
      !Succeeded(BCryptFinishHash(state_->Hash, digest.data(), kSha256DigestBytes, 0))) {
    return std::nullopt;
  }
  state_->Failed = true;  // once only
  return digest;
}

std::optional<Sha256Digest> CngSha256Of(std::string_view bytes) {
  CngSha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.Finish();
}

SignatureOutcome CheckDerSignature(std::string_view signedBytes, std::string_view der,
                                   std::string_view point) {
  if (der.empty()) return {SignatureCheck::Empty};
  const std::optional<std::string> raw = P256SignatureFromDer(der);
  if (!raw) return {SignatureCheck::NotDer};
  const std::optional<Sha256Digest> digest = CngSha256Of(signedBytes);
  if (!digest) return {SignatureCheck::Failed, static_cast<DWORD>(ERROR_INVALID_FUNCTION)};
  const DWORD checked = CheckP256Signature(point, *digest, *raw);
  if (checked == ERROR_SUCCESS) return {SignatureCheck::Good};
  if (checked == static_cast<DWORD>(NTE_BAD_SIGNATURE)) return {SignatureCheck::NotByKey};
  if (checked == static_cast<DWORD>(NTE_BAD_KEY)) return {SignatureCheck::KeyRefused};
  return {SignatureCheck::Failed, checked};
}

}  // namespace devidudi
