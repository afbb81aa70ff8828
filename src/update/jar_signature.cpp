#include "update/jar_signature.h"

#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "os/files.h"
#include "update/base64.h"
#include "update/tunables.h"

namespace update {

namespace {

constexpr char kMessagePrefix[] = "wardkeep-jar-sha256:";
constexpr std::size_t kPublicKeySize = 32;
constexpr std::size_t kSignatureSize = 64;
constexpr std::size_t kSha256Size = 32;
// Large enough that the read calls cost little, small enough to stay flat.
constexpr std::size_t kChunk = 256 * 1024;

struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using MdContextPtr = std::unique_ptr<EVP_MD_CTX, MdContextFree>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

PkeyPtr BuiltInKey() {
  std::string raw;
  if (!Base64Decode(tunables::jarSigningKey.Get(), raw) || raw.size() != kPublicKeySize) {
    return nullptr;
  }
  return PkeyPtr(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, Bytes(raw), raw.size()));
}

// The SHA-256 of everything the handle reads from the start to the end; false
// when a read fails or the file is not as long as it was at the start (it
// changed while being read).
bool HashWholeFile(const os::ReadOnlyFile& jar, unsigned char (&digest)[kSha256Size]) {
  if (!jar.IsOpen()) return false;
  const std::int64_t size = jar.Size();
  if (size < 0) return false;
  MdContextPtr context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return false;
  std::vector<char> chunk(kChunk);
  std::int64_t offset = 0;
  for (;;) {
    const std::int64_t got = jar.ReadFullAt(offset, chunk.data(), chunk.size());
    if (got < 0) return false;
    if (got == 0) break;
    if (EVP_DigestUpdate(context.get(), chunk.data(), static_cast<std::size_t>(got)) != 1) {
      return false;
    }
    offset += got;
  }
  unsigned int length = 0;
  return offset == size && EVP_DigestFinal_ex(context.get(), digest, &length) == 1 &&
         length == kSha256Size;
}

bool Verifies(EVP_PKEY* key, const std::string& signature, const std::string& message) {
  MdContextPtr context(EVP_MD_CTX_new());
  // Ed25519 hashes internally: no digest is named, and the message goes in whole.
  if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key) != 1) {
    return false;
  }
  return EVP_DigestVerify(context.get(), Bytes(signature), signature.size(), Bytes(message),
                          message.size()) == 1;
}

// The signed text for a digest: the prefix, then lowercase hex.
std::string SignedMessage(const unsigned char (&sha256Digest)[kSha256Size]) {
  constexpr char kHex[] = "0123456789abcdef";
  std::string message = kMessagePrefix;
  for (std::size_t i = 0; i < kSha256Size; ++i) {
    message += kHex[sha256Digest[i] >> 4];
    message += kHex[sha256Digest[i] & 15];
  }
  return message;
}

}  // namespace

SignatureVerdict VerifyJarSignature(const os::ReadOnlyFile& jar,
                                    const std::string& signatureBase64) {
  if (tunables::jarSigningKey.Get().empty()) return SignatureVerdict::NotRequired;
  const PkeyPtr key = BuiltInKey();
  if (!key) return SignatureVerdict::BadKey;
  if (signatureBase64.empty()) return SignatureVerdict::Missing;
  std::string signature;
  if (!Base64Decode(signatureBase64, signature) || signature.size() != kSignatureSize) {
    return SignatureVerdict::Malformed;
  }
  unsigned char digest[kSha256Size];
  if (!HashWholeFile(jar, digest)) return SignatureVerdict::Unreadable;
  return Verifies(key.get(), signature, SignedMessage(digest)) ? SignatureVerdict::Valid
                                                               : SignatureVerdict::Mismatch;
}

std::wstring DescribeSignatureVerdict(SignatureVerdict verdict) {
  switch (verdict) {
    case SignatureVerdict::NotRequired:
      return L"本程序未内置签名公钥，不校验签名";
    case SignatureVerdict::Valid:
      return L"签名有效";
    case SignatureVerdict::Missing:
      return L"更新服务器未提供签名";
    case SignatureVerdict::Malformed:
      return L"签名格式不正确";
    case SignatureVerdict::Mismatch:
      return L"签名与文件不符";
    case SignatureVerdict::Unreadable:
      return L"无法完整读取文件";
    case SignatureVerdict::BadKey:
      return L"内置的签名公钥无效";
  }
  return L"未知的签名结果";
}

}  // namespace update
