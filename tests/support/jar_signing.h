#pragma once
// Offer signatures made the way a vendor makes them, with OpenSSL and none of
// the program's code: a fresh Ed25519 key, the signed text, Base64.

#include <filesystem>
#include <memory>
#include <string>

typedef struct evp_pkey_st EVP_PKEY;

namespace testing_support {

// Standard Base64 with padding.
std::string OpenSslBase64(const std::string& bytes);

// Lowercase hex of the SHA-256 of the bytes, or of a file read in pieces.
std::string Sha256Hex(const std::string& bytes);
std::string Sha256HexOfFile(const std::filesystem::path& path);

// What is signed for an offer of this version of a file of this size and SHA-256.
inline std::string OfferSignedText(const std::string& version, long long size,
                                   const std::string& sha256Hex) {
  return "wardkeep-offer-v1\nproduct=stock-relay\nversion=" + version +
         "\nsize=" + std::to_string(size) + "\nsha256=" + sha256Hex + "\n";
}

class Ed25519Key {
 public:
  Ed25519Key();  // a new key; IsValid() false when OpenSSL could not make one
  bool IsValid() const { return m_key != nullptr; }
  // The 32 raw public bytes in Base64, as a build is given them.
  std::string PublicBase64() const;
  // The 64 signature bytes (empty on failure), and the same in Base64.
  std::string Sign(const std::string& message) const;
  std::string SignBase64(const std::string& message) const { return OpenSslBase64(Sign(message)); }
  // The private half as PEM, as scripts/sign-jar keeps it.
  bool WritePrivatePem(const std::filesystem::path& path) const;

 private:
  struct Free {
    void operator()(EVP_PKEY* key) const;
  };
  std::unique_ptr<EVP_PKEY, Free> m_key;
};

}  // namespace testing_support
