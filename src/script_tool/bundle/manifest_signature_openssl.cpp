// The Linux build's hashing and signing, with OpenSSL's EVP API (libcrypto,
// linked statically like the rest of the program).

#include "script_tool/bundle/manifest_signature.h"

#include "bundle/manifest.h"

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstring>
#include <vector>

namespace {

// OpenSSL's name for P-256, as EVP_PKEY_get_group_name gives it.
constexpr const char* kP256GroupName = "prime256v1";

// Before the first call into libcrypto: no openssl.cnf of the machine is
// read. The program is linked statically and runs on any Linux, whose
// configuration may name providers to load as shared libraries, which a
// static program cannot; the built-in default provider is all it needs.
void InitializeOnce() {
  static const bool initialized =
      OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) == 1;
  (void)initialized;
}

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct DigestFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using OwnedKey = std::unique_ptr<EVP_PKEY, KeyFree>;
using OwnedBio = std::unique_ptr<BIO, BioFree>;
using OwnedDigest = std::unique_ptr<EVP_MD_CTX, DigestFree>;

OwnedBio MemoryBio(std::string_view bytes) {
  InitializeOnce();
  return OwnedBio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

// Empty when the key is an EC key on P-256; otherwise what it is.
std::string ProblemOfKey(EVP_PKEY* key) {
  if (EVP_PKEY_get_base_id(key) != EVP_PKEY_EC) {
    return std::string("is a ") + EVP_PKEY_get0_type_name(key) + " key, not an EC key on P-256";
  }
  char group[64] = {};
  std::size_t length = 0;
  if (EVP_PKEY_get_group_name(key, group, sizeof group, &length) != 1 ||
      std::strcmp(group, kP256GroupName) != 0) {
    return std::string("is an EC key on ") + (group[0] != '\0' ? group : "an unnamed curve") +
           ", not on P-256 (prime256v1)";
  }
  return {};
}

}  // namespace

struct Sha256::State {
  OwnedDigest Context{EVP_MD_CTX_new()};
  bool Failed = false;
};

Sha256::Sha256() : state_((InitializeOnce(), std::make_unique<State>())) {
  state_->Failed = !state_->Context ||
                   EVP_DigestInit_ex(state_->Context.get(), EVP_sha256(), nullptr) != 1;
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) {
  if (state_->Failed || size == 0) return;
  state_->Failed = EVP_DigestUpdate(state_->Context.get(), data, size) != 1;
}

std::string Sha256::FinishHex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (state_->Failed || EVP_DigestFinal_ex(state_->Context.get(), digest, &size) != 1) return {};
  state_->Failed = true;  // once only
  return LowercaseHex(digest, size);
}

std::string Sha256Hex(std::string_view bytes) {
  InitializeOnce();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) return {};
  return LowercaseHex(digest, size);
}

bool CanSignManifests() { return true; }

std::string ProblemOfPrivateKey(std::string_view privateKeyPem) {
  const OwnedBio pem = MemoryBio(privateKeyPem);
  const OwnedKey key(pem ? PEM_read_bio_PrivateKey(pem.get(), nullptr, nullptr, nullptr)
                         : nullptr);
  return key ? ProblemOfKey(key.get()) : "is not a PEM private key (without a passphrase)";
}

std::string ProblemOfPublicKey(std::string_view publicKeyPem) {
  const OwnedBio pem = MemoryBio(publicKeyPem);
  const OwnedKey key(pem ? PEM_read_bio_PUBKEY(pem.get(), nullptr, nullptr, nullptr) : nullptr);
  return key ? ProblemOfKey(key.get()) : "is not a PEM public key (\"PUBLIC KEY\")";
}

ManifestSignature SignManifest(std::string_view manifest, std::string_view privateKeyPem) {
  ManifestSignature signed_;
  const OwnedBio pem = MemoryBio(privateKeyPem);
  const OwnedKey key(pem ? PEM_read_bio_PrivateKey(pem.get(), nullptr, nullptr, nullptr)
                         : nullptr);
  if (!key) {
    signed_.Error = "is not a PEM private key (without a passphrase)";
    return signed_;
  }
  signed_.Error = ProblemOfKey(key.get());
  if (!signed_.Error.empty()) return signed_;
  const OwnedDigest context(EVP_MD_CTX_new());
  const auto* data = reinterpret_cast<const unsigned char*>(manifest.data());
  std::size_t size = 0;
  if (!context ||
      EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &size, data, manifest.size()) != 1) {
    signed_.Error = "could not sign: OpenSSL failed";
    return signed_;
  }
  std::vector<unsigned char> der(size);
  if (EVP_DigestSign(context.get(), der.data(), &size, data, manifest.size()) != 1) {
    signed_.Error = "could not sign: OpenSSL failed";
    return signed_;
  }
  signed_.Der.assign(reinterpret_cast<const char*>(der.data()), size);
  return signed_;
}

std::string CheckManifestSignature(std::string_view manifest, std::string_view signature,
                                   std::string_view publicKeyPem) {
  const OwnedBio pem = MemoryBio(publicKeyPem);
  const OwnedKey key(pem ? PEM_read_bio_PUBKEY(pem.get(), nullptr, nullptr, nullptr) : nullptr);
  if (!key) return "cannot be checked: the public key is not a PEM \"PUBLIC KEY\"";
  const std::string refused = ProblemOfKey(key.get());
  if (!refused.empty()) return "cannot be checked: the public key " + refused;
  if (signature.empty()) return "is empty";
  const OwnedDigest context(EVP_MD_CTX_new());
  if (!context ||
      EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
    return "cannot be checked: OpenSSL failed";
  }
  // 0 for a signature that does not match, below 0 for one that is not DER.
  const int verified = EVP_DigestVerify(
      context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
      reinterpret_cast<const unsigned char*>(manifest.data()), manifest.size());
  if (verified == 1) return {};
  return verified == 0 ? "is not a signature of MANIFEST by this key"
                       : "is not a DER-encoded ECDSA signature (truncated or damaged)";
}
