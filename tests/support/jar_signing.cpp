#include "support/jar_signing.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace testing_support {

namespace {

struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using MdContextPtr = std::unique_ptr<EVP_MD_CTX, MdContextFree>;

std::string Hex(const unsigned char* bytes, unsigned int size) {
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < size; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
    hex += pair;
  }
  return hex;
}

// Feeds `next` to SHA-256 until it gives no more bytes.
template <typename Next>
std::string Sha256HexOf(Next next) {
  MdContextPtr context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return {};
  std::vector<char> chunk(1 << 20);
  for (std::size_t got; (got = next(chunk.data(), chunk.size())) > 0;) {
    EVP_DigestUpdate(context.get(), chunk.data(), got);
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return {};
  return Hex(digest, length);
}

}  // namespace

std::string OpenSslBase64(const std::string& bytes) {
  std::vector<unsigned char> text(4 * ((bytes.size() + 2) / 3) + 1);
  const int length =
      EVP_EncodeBlock(text.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<int>(bytes.size()));
  return std::string(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(length));
}

std::string Sha256Hex(const std::string& bytes) {
  std::size_t at = 0;
  return Sha256HexOf([&](char* out, std::size_t room) {
    const std::size_t n = std::min(room, bytes.size() - at);
    std::copy_n(bytes.data() + at, n, out);
    at += n;
    return n;
  });
}

std::string Sha256HexOfFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  return Sha256HexOf([&](char* out, std::size_t room) {
    file.read(out, static_cast<std::streamsize>(room));
    return static_cast<std::size_t>(file.gcount());
  });
}

void Ed25519Key::Free::operator()(EVP_PKEY* key) const {
  EVP_PKEY_free(key);
}

Ed25519Key::Ed25519Key() {
  EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
  EVP_PKEY* made = nullptr;
  if (context != nullptr && EVP_PKEY_keygen_init(context) == 1) EVP_PKEY_keygen(context, &made);
  EVP_PKEY_CTX_free(context);
  m_key.reset(made);
}

std::string Ed25519Key::PublicBase64() const {
  unsigned char raw[64];
  std::size_t length = sizeof raw;
  if (!m_key || EVP_PKEY_get_raw_public_key(m_key.get(), raw, &length) != 1) return {};
  return OpenSslBase64(std::string(reinterpret_cast<const char*>(raw), length));
}

std::string Ed25519Key::Sign(const std::string& message) const {
  MdContextPtr context(EVP_MD_CTX_new());
  std::string signature(64, '\0');
  std::size_t length = signature.size();
  if (!m_key || !context ||
      EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1 ||
      EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    return {};
  }
  signature.resize(length);
  return signature;
}

bool Ed25519Key::WritePrivatePem(const std::filesystem::path& path) const {
  if (!m_key) return false;
  BIO* file = BIO_new_file(path.string().c_str(), "w");
  if (file == nullptr) return false;
  const bool written =
      PEM_write_bio_PrivateKey(file, m_key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
  BIO_free_all(file);
  return written;
}

}  // namespace testing_support
