// The key is read and used through OpenSSL's RSA interface, which OpenSSL 3
// marks deprecated. It is the interface this exchange is defined in terms of
// and it still works unchanged, so its warnings are silenced for this file only.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "update/request_encryption.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <climits>
#include <memory>
#include <vector>

#include "http/crypto_setup.h"
#include "update/base64.h"

namespace update {

namespace {

constexpr char kPemHeader[] = "-----BEGIN PUBLIC KEY-----\n";
constexpr char kPemFooter[] = "\n-----END PUBLIC KEY-----\n";
constexpr std::size_t kPemLineLength = 64;

struct BioFree {
  void operator()(BIO* bio) const { BIO_free_all(bio); }
};
struct RsaFree {
  void operator()(RSA* rsa) const { RSA_free(rsa); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
using RsaPtr = std::unique_ptr<RSA, RsaFree>;

}  // namespace

std::string& FormatPemPublicKey(std::string& text) {
  // The original length bounds the loop; each insertion shifts the rest by
  // one, so stepping by 65 lands after every 64 key characters.
  const std::size_t originalLength = text.size();
  for (std::size_t p = kPemLineLength; p < originalLength; p += kPemLineLength + 1) {
    if (text[p] != '\n') text.insert(p, 1, '\n');
  }
  text.insert(0, kPemHeader);
  text += kPemFooter;
  return text;
}

std::string EncryptWithPublicKey(const std::string& plaintext, std::string& keyText) {
  comm::http::UseCryptoWithoutConfiguration();
  FormatPemPublicKey(keyText);

  BioPtr bio(BIO_new_mem_buf(keyText.c_str(), -1));
  if (!bio) return {};

  RsaPtr rsa(RSA_new());
  if (!rsa) return {};
  // On success OpenSSL frees the object passed in and stores the one it read;
  // on failure it leaves it alone. Either way `raw` is what must be freed.
  RSA* raw = rsa.release();
  RSA* read = PEM_read_bio_RSA_PUBKEY(bio.get(), &raw, nullptr, nullptr);
  rsa.reset(raw);
  if (read == nullptr) return {};

  // A length that does not fit OpenSSL's int would be cut to something else.
  if (plaintext.size() > static_cast<std::size_t>(INT_MAX)) return {};

  const int keySize = RSA_size(rsa.get());
  if (keySize <= 0) return {};
  std::vector<unsigned char> cipher(static_cast<std::size_t>(keySize) + 1, 0);
  const int count = RSA_public_encrypt(static_cast<int>(plaintext.size()),
                                       reinterpret_cast<const unsigned char*>(plaintext.data()),
                                       cipher.data(), rsa.get(), RSA_PKCS1_PADDING);
  if (count < 0) return {};
  return Base64Encode(cipher.data(), count);
}

}  // namespace update
