#include "update/jar_signature.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "os/files.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "update/tunables.h"

namespace {

using update::SignatureVerdict;

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct PkeyContextFree {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;

std::string Base64(const std::string& bytes) {
  std::vector<unsigned char> text(4 * ((bytes.size() + 2) / 3) + 1);
  const int length =
      EVP_EncodeBlock(text.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<int>(bytes.size()));
  return std::string(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(length));
}

// A fresh Ed25519 key pair, made by OpenSSL as a signer would make it.
class SigningKey {
 public:
  SigningKey() {
    std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree> context(
        EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY* key = nullptr;
    if (context && EVP_PKEY_keygen_init(context.get()) == 1) {
      EVP_PKEY_keygen(context.get(), &key);
    }
    m_key.reset(key);
  }

  // The 32 raw public bytes in Base64, as the build is given them.
  std::string PublicBase64() const {
    unsigned char raw[64];
    std::size_t length = sizeof raw;
    if (!m_key || EVP_PKEY_get_raw_public_key(m_key.get(), raw, &length) != 1) return {};
    return Base64(std::string(reinterpret_cast<const char*>(raw), length));
  }

  std::string Sign(const std::string& message) const {
    std::unique_ptr<EVP_MD_CTX, MdContextFree> context(EVP_MD_CTX_new());
    std::string signature(64, '\0');
    std::size_t length = signature.size();
    if (!m_key || !context ||
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1 ||
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1) {
      return {};
    }
    signature.resize(length);
    return signature;
  }

 private:
  PkeyPtr m_key;
};

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
  std::string hex;
  for (unsigned char b : digest) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", b);
    hex += pair;
  }
  return hex;
}

std::string SignedText(const std::string& bytes) {
  return "wardkeep-jar-sha256:" + Sha256Hex(bytes);
}

// Bytes that are not the same in any two chunks of the reader, longer than
// one chunk and not a whole number of them.
std::string JarBytes(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned x = seed;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<char>(x >> 16);
  }
  return bytes;
}

struct Case {
  const char* name;
  std::string key;        // the built-in key for this row
  std::string signature;  // as the offer carries it
  bool readable;
  SignatureVerdict expected;
};

TEST(JarSignature, OnlyTheVendorsSignatureOverThisFileIsValid) {
  testing_support::TempDir dir;
  const std::string jar = JarBytes(3 * 256 * 1024 + 4321, 7);
  const std::string other = JarBytes(jar.size(), 8);
  testing_support::WriteFile(dir / "stock-relay.jar", jar);

  const SigningKey vendor;
  const SigningKey stranger;
  const std::string key = vendor.PublicBase64();
  ASSERT_EQ(key.size(), 44u);
  const std::string valid = Base64(vendor.Sign(SignedText(jar)));
  ASSERT_EQ(valid.size(), 88u);
  const std::string raw = vendor.Sign(SignedText(jar));
  std::string flipped = raw;
  flipped[10] = static_cast<char>(flipped[10] ^ 1);

  const std::vector<Case> cases = {
      {"valid", key, valid, true, SignatureVerdict::Valid},
      {"signature empty", key, "", true, SignatureVerdict::Missing},
      {"not Base64", key, std::string(87, '!') + "=", true, SignatureVerdict::Malformed},
      {"Base64 with a line break", key, valid.substr(0, 40) + "\n" + valid.substr(40), true,
       SignatureVerdict::Malformed},
      {"63 bytes", key, Base64(raw.substr(0, 63)), true, SignatureVerdict::Malformed},
      {"65 bytes", key, Base64(raw + "x"), true, SignatureVerdict::Malformed},
      {"one bit changed", key, Base64(flipped), true, SignatureVerdict::Mismatch},
      {"signed by another key", key, Base64(stranger.Sign(SignedText(jar))), true,
       SignatureVerdict::Mismatch},
      {"signature over another file", key, Base64(vendor.Sign(SignedText(other))), true,
       SignatureVerdict::Mismatch},
      {"right hash without the prefix", key, Base64(vendor.Sign(Sha256Hex(jar))), true,
       SignatureVerdict::Mismatch},
      {"hash in capitals", key,
       Base64(vendor.Sign("wardkeep-jar-sha256:" +
                          [&] {
                            std::string hex = Sha256Hex(jar);
                            for (auto& c : hex)
                              c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                            return hex;
                          }())),
       true, SignatureVerdict::Mismatch},
      {"no key built in", "", valid, true, SignatureVerdict::NotRequired},
      {"no key built in, no signature", "", "", true, SignatureVerdict::NotRequired},
      {"built-in key not Base64", std::string(43, '*') + "=", valid, true,
       SignatureVerdict::BadKey},
      {"built-in key of 31 bytes", key.substr(0, 40) + "AA==", valid, true,
       SignatureVerdict::BadKey},
      {"built-in key of 33 bytes", Base64(std::string(33, 'k')), valid, true,
       SignatureVerdict::BadKey},
      {"bad built-in key before a missing signature", "x", "", true, SignatureVerdict::BadKey},
      {"unreadable file", key, valid, false, SignatureVerdict::Unreadable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTunable builtIn(update::tunables::jarSigningKey, c.key);
    os::ReadOnlyFile file;
    const std::wstring path =
        testing_support::WindowsFormPath(dir / (c.readable ? "stock-relay.jar" : "missing.jar"));
    EXPECT_EQ(file.Open(path), c.readable);
    EXPECT_EQ(update::VerifyJarSignature(file, c.signature), c.expected);
  }
}

TEST(JarSignature, TheWholeFileCountsDownToItsLastByte) {
  testing_support::TempDir dir;
  const SigningKey vendor;
  ScopedTunable builtIn(update::tunables::jarSigningKey, vendor.PublicBase64());
  struct Size {
    const char* name;
    std::size_t size;
  };
  const Size sizes[] = {{"empty file", 0},
                        {"one byte", 1},
                        {"one chunk", 256 * 1024},
                        {"one chunk and a byte", 256 * 1024 + 1}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(s.name);
    const std::string jar = JarBytes(s.size, 3);
    testing_support::WriteFile(dir / "a.jar", jar);
    os::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(testing_support::WindowsFormPath(dir / "a.jar")));
    EXPECT_EQ(update::VerifyJarSignature(file, Base64(vendor.Sign(SignedText(jar)))),
              SignatureVerdict::Valid);
    if (s.size == 0) continue;
    // The same file one byte shorter was signed: the last byte is part of it.
    EXPECT_EQ(update::VerifyJarSignature(
                  file, Base64(vendor.Sign(SignedText(jar.substr(0, s.size - 1))))),
              SignatureVerdict::Mismatch);
  }
}

TEST(JarSignature, EveryVerdictHasItsOwnReason) {
  const SignatureVerdict verdicts[] = {SignatureVerdict::NotRequired, SignatureVerdict::Valid,
                                       SignatureVerdict::Missing,     SignatureVerdict::Malformed,
                                       SignatureVerdict::Mismatch,    SignatureVerdict::Unreadable,
                                       SignatureVerdict::BadKey};
  std::vector<std::wstring> seen;
  for (auto verdict : verdicts) {
    const std::wstring text = update::DescribeSignatureVerdict(verdict);
    EXPECT_FALSE(text.empty());
    for (const auto& earlier : seen) EXPECT_NE(text, earlier);
    seen.push_back(text);
  }
}

}  // namespace
