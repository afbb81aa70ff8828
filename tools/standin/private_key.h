#pragma once
// The update server's private key: reads the PEM file and undoes what the
// watchdog sends, Base64 of an RSA PKCS#1 v1.5 block.

#include <memory>
#include <string>

typedef struct evp_pkey_st EVP_PKEY;

namespace standin {

class PrivateKey {
 public:
  // Empty key with `error` filled when the file cannot be read as a private key.
  static PrivateKey Load(const std::string& path, std::string& error);

  bool Valid() const { return m_key != nullptr; }
  // Decodes Base64 and decrypts; false with `error` filled on any failure.
  bool DecryptBase64(const std::string& text, std::string& plaintext, std::string& error) const;

 private:
  struct Deleter {
    void operator()(EVP_PKEY* key) const;
  };
  std::shared_ptr<EVP_PKEY> m_key;
};

}  // namespace standin
