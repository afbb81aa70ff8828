#pragma once
// The private half of the build's default update key (the stand-in server's
// test key), to undo in a test what the watchdog sends.

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <memory>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace update_test {

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;

inline PkeyPtr LoadTestPrivateKey() {
  const std::string pem =
      testing_support::ReadFile(std::string(WARDKEEP_SOURCE_DIR) + "/tools/standin/update_key.pem");
  std::unique_ptr<BIO, decltype(&BIO_free_all)> bio(
      BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free_all);
  return PkeyPtr(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

// Strict Base64 decoding; nullopt for anything that is not whole groups.
inline std::optional<std::string> DecodeBase64(const std::string& text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string bytes(text.size() / 4 * 3, '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  bytes.resize(static_cast<std::size_t>(n) - padding);
  return bytes;
}

// The plaintext behind a Base64 PKCS #1 v1.5 ciphertext, or nullopt.
inline std::optional<std::string> DecryptBase64(EVP_PKEY* key, const std::string& text) {
  const auto cipher = DecodeBase64(text);
  if (!key || !cipher) return std::nullopt;
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new(key, nullptr),
                                                                  &EVP_PKEY_CTX_free);
  if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0) {
    return std::nullopt;
  }
  const auto* in = reinterpret_cast<const unsigned char*>(cipher->data());
  std::size_t length = 0;
  if (EVP_PKEY_decrypt(ctx.get(), nullptr, &length, in, cipher->size()) <= 0) return std::nullopt;
  std::string plain(length, '\0');
  if (EVP_PKEY_decrypt(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &length, in,
                       cipher->size()) <= 0) {
    return std::nullopt;
  }
  plain.resize(length);
  return plain;
}

}  // namespace update_test
