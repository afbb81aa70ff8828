#include "update/offer_signature.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <memory>

#include "http/crypto_setup.h"
#include "os/files.h"
#include "update/base64.h"

namespace update {

namespace {

constexpr std::size_t kPublicKeySize = 32;
constexpr std::size_t kSignatureSize = 64;
constexpr std::size_t kSha256Size = 32;
// Large enough that the read calls cost little, small enough to stay flat.
constexpr std::size_t kChunk = 256 * 1024;

// The y coordinates (little-endian, sign bit cleared) of the points of small
// order: 0 and 1, their non-canonical forms p and p + 1, p - 1, and the two
// of order 8. The sign bit does not change the order, so it is ignored.
constexpr std::array<std::array<unsigned char, 32>, 7> kSmallOrderY{{
    {0x00},
    {0x01},
    {0x26, 0xe8, 0x95, 0x8f, 0xc2, 0xb2, 0x27, 0xb0, 0x45, 0xc3, 0xf4,
     0x89, 0xf2, 0xef, 0x98, 0xf0, 0xd5, 0xdf, 0xac, 0x05, 0xd3, 0xc6,
     0x33, 0x39, 0xb1, 0x38, 0x02, 0x88, 0x6d, 0x53, 0xfc, 0x05},
    {0xc7, 0x17, 0x6a, 0x70, 0x3d, 0x4d, 0xd8, 0x4f, 0xba, 0x3c, 0x0b,
     0x76, 0x0d, 0x10, 0x67, 0x0f, 0x2a, 0x20, 0x53, 0xfa, 0x2c, 0x39,
     0xcc, 0xc6, 0x4e, 0xc7, 0xfd, 0x77, 0x92, 0xac, 0x03, 0x7a},
    {0xec, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
    {0xed, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
    {0xee, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
}};

struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using MdContextPtr = std::unique_ptr<EVP_MD_CTX, MdContextFree>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool Verifies(const std::string& rawKey, const std::string& signature, const std::string& message) {
  comm::http::UseCryptoWithoutConfiguration();
  const PkeyPtr key(
      EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, Bytes(rawKey), rawKey.size()));
  MdContextPtr context(EVP_MD_CTX_new());
  // Ed25519 hashes internally: no digest is named, and the message goes in whole.
  if (!key || !context ||
      EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
    return false;
  }
  return EVP_DigestVerify(context.get(), Bytes(signature), signature.size(), Bytes(message),
                          message.size()) == 1;
}

std::string Hex(const unsigned char* bytes, std::size_t size) {
  constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text;
}

}  // namespace

std::string OfferSignedText(const std::string& version, std::int64_t size,
                            const std::string& sha256) {
  return "wardkeep-offer-v1\nproduct=stock-relay\nversion=" + version +
         "\nsize=" + std::to_string(size) + "\nsha256=" + sha256 + "\n";
}

bool IsSmallOrderKey(std::string_view raw) {
  if (raw.size() != kPublicKeySize) return false;
  std::array<unsigned char, kPublicKeySize> y{};
  std::copy_n(Bytes(raw), kPublicKeySize, y.begin());
  y[kPublicKeySize - 1] &= 0x7f;
  return std::find(kSmallOrderY.begin(), kSmallOrderY.end(), y) != kSmallOrderY.end();
}

std::optional<std::vector<std::string>> ParseSigningKeys(std::string_view text) {
  std::vector<std::string> keys;
  if (Trimmed(text).empty()) return keys;
  for (;;) {
    const std::size_t end = text.find_first_of(",;");
    std::string raw;
    if (!Base64Decode(Trimmed(text.substr(0, end)), raw) || raw.size() != kPublicKeySize ||
        IsSmallOrderKey(raw)) {
      return std::nullopt;
    }
    keys.push_back(std::move(raw));
    if (end == std::string_view::npos) return keys;
    text.remove_prefix(end + 1);
  }
}

SigningKeys SigningKeysIn(const UpdateSettings& settings) {
  const std::optional<std::vector<std::string>> keys = ParseSigningKeys(settings.signingKeys);
  if (!keys) return SigningKeys::Unusable;
  return keys->empty() ? SigningKeys::None : SigningKeys::Usable;
}

SignatureVerdict VerifyOfferSignature(const UpdateSettings& settings, const std::string& signedText,
                                      const std::string& signatureBase64) {
  const std::optional<std::vector<std::string>> keys = ParseSigningKeys(settings.signingKeys);
  if (!keys || keys->empty()) return SignatureVerdict::BadKey;
  if (signatureBase64.empty()) return SignatureVerdict::Missing;
  std::string signature;
  if (!Base64Decode(signatureBase64, signature) || signature.size() != kSignatureSize) {
    return SignatureVerdict::Malformed;
  }
  for (const std::string& key : *keys) {
    if (Verifies(key, signature, signedText)) return SignatureVerdict::Valid;
  }
  return SignatureVerdict::Mismatch;
}

bool DigestWholeFile(const os::ReadOnlyFile& file, JarDigest& digest) {
  if (!file.IsOpen()) return false;
  const std::int64_t size = file.Size();
  if (size < 0) return false;
  comm::http::UseCryptoWithoutConfiguration();
  MdContextPtr context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return false;
  std::vector<char> chunk(kChunk);
  std::int64_t offset = 0;
  for (;;) {
    const std::int64_t got = file.ReadFullAt(offset, chunk.data(), chunk.size());
    if (got < 0) return false;
    if (got == 0) break;
    if (EVP_DigestUpdate(context.get(), chunk.data(), static_cast<std::size_t>(got)) != 1) {
      return false;
    }
    offset += got;
  }
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (offset != size || EVP_DigestFinal_ex(context.get(), hash, &length) != 1 ||
      length != kSha256Size) {
    return false;
  }
  digest = {size, Hex(hash, length)};
  return true;
}

}  // namespace update
