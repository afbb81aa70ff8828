#include "private_key.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <vector>

namespace standin {

namespace {

std::string OpenSslError() {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "unknown OpenSSL error";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

bool DecodeBase64(const std::string& text, std::vector<unsigned char>& bytes) {
  if (text.empty() || text.size() % 4 != 0) return false;
  bytes.assign(text.size() / 4 * 3, 0);
  int decoded = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (decoded < 0) return false;
  // EVP_DecodeBlock counts the padding as zero bytes.
  std::size_t padding = 0;
  if (text.back() == '=') ++padding;
  if (text.size() >= 2 && text[text.size() - 2] == '=') ++padding;
  bytes.resize(static_cast<std::size_t>(decoded) - padding);
  return true;
}

struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free_all(bio); }
};
struct ContextDeleter {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};

}  // namespace

void PrivateKey::Deleter::operator()(EVP_PKEY* key) const {
  EVP_PKEY_free(key);
}

PrivateKey PrivateKey::Load(const std::string& path, std::string& error) {
  PrivateKey result;
  std::unique_ptr<BIO, BioDeleter> bio(BIO_new_file(path.c_str(), "r"));
  if (!bio) {
    error = "cannot open key file " + path;
    return result;
  }
  EVP_PKEY* key = PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
  if (key == nullptr) {
    error = "cannot read a private key from " + path + ": " + OpenSslError();
    return result;
  }
  result.m_key.reset(key, Deleter());
  return result;
}

bool PrivateKey::DecryptBase64(const std::string& text, std::string& plaintext,
                               std::string& error) const {
  if (!m_key) {
    error = "no key loaded";
    return false;
  }
  if (text.empty()) {
    error = "empty version";
    return false;
  }
  std::vector<unsigned char> cipher;
  if (!DecodeBase64(text, cipher)) {
    error = "not Base64";
    return false;
  }
  std::unique_ptr<EVP_PKEY_CTX, ContextDeleter> context(EVP_PKEY_CTX_new(m_key.get(), nullptr));
  if (!context || EVP_PKEY_decrypt_init(context.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0) {
    error = OpenSslError();
    return false;
  }
  std::size_t length = 0;
  if (EVP_PKEY_decrypt(context.get(), nullptr, &length, cipher.data(), cipher.size()) <= 0) {
    error = OpenSslError();
    return false;
  }
  std::vector<unsigned char> plain(length);
  if (EVP_PKEY_decrypt(context.get(), plain.data(), &length, cipher.data(), cipher.size()) <= 0) {
    error = "decryption failed: " + OpenSslError();
    return false;
  }
  plaintext.assign(reinterpret_cast<const char*>(plain.data()), length);
  return true;
}

}  // namespace standin
