#include "update/request_encryption.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <string>
#include <vector>

#include "test_key.h"
#include "update/base64.h"
#include "update/update_config.h"

namespace {

const std::string kHeader = "-----BEGIN PUBLIC KEY-----\n";
const std::string kFooter = "\n-----END PUBLIC KEY-----\n";

// A well-formed SubjectPublicKeyInfo, but of an elliptic-curve key.
const std::string kEcPublicKey =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEe1c5/d0EW6uVUv9Z/"
    "xR88qHdkm+Kkhv0k60Zyh78TyfvUfJ2py7MVSdJY88M"
    "6xSelUlQto7A2EEnZKs+gh4Juw==";

std::string Encrypt(const std::string& plaintext) {
  std::string key(update::UpdatePublicKey);
  return update::EncryptWithPublicKey(plaintext, key);
}

class RequestEncryption : public ::testing::Test {
 protected:
  update_test::PkeyPtr privateKey = update_test::LoadTestPrivateKey();
  void SetUp() override { ASSERT_TRUE(privateKey) << "tools/standin/update_key.pem unreadable"; }
};

TEST_F(RequestEncryption, RoundTripsThroughThePrivateKey) {
  const std::vector<std::string> plaintexts = {
      "v0.0.0", "", "2.4.17-release", "版本 1", std::string(53, 'x'), std::string("a\0b", 3)};
  for (const auto& plaintext : plaintexts) {
    SCOPED_TRACE(plaintext);
    const std::string cipher = Encrypt(plaintext);
    EXPECT_EQ(cipher.size(), 88u);
    EXPECT_EQ(update_test::DecryptBase64(privateKey.get(), cipher), plaintext);
  }
}

TEST_F(RequestEncryption, SameTextTwiceGivesDifferentCiphertexts) {
  const std::string first = Encrypt("v1.2.3");
  const std::string second = Encrypt("v1.2.3");
  EXPECT_NE(first, second);
  EXPECT_EQ(update_test::DecryptBase64(privateKey.get(), first), "v1.2.3");
  EXPECT_EQ(update_test::DecryptBase64(privateKey.get(), second), "v1.2.3");
}

TEST_F(RequestEncryption, PlaintextBeyondOneBlockGivesEmptyText) {
  EXPECT_EQ(Encrypt(std::string(53, 'x')).size(), 88u);
  EXPECT_EQ(Encrypt(std::string(54, 'x')), "");
  EXPECT_EQ(Encrypt(std::string(4096, 'x')), "");
}

TEST_F(RequestEncryption, KeyArgumentIsLeftInPemForm) {
  const std::string bare(update::UpdatePublicKey);
  std::string key = bare;
  update::EncryptWithPublicKey("v0.0.0", key);
  EXPECT_EQ(key, kHeader + bare.substr(0, 64) + "\n" + bare.substr(64) + kFooter);
  EXPECT_EQ(key.size(), 182u);
}

TEST_F(RequestEncryption, KeyWithItsOwnLineFeedStillEncrypts) {
  const std::string bare(update::UpdatePublicKey);
  std::string key = bare.substr(0, 64) + "\n" + bare.substr(64);
  const std::string cipher = update::EncryptWithPublicKey("v9", key);
  EXPECT_EQ(update_test::DecryptBase64(privateKey.get(), cipher), "v9");
  EXPECT_EQ(key, kHeader + bare.substr(0, 64) + "\n" + bare.substr(64) + kFooter);
}

TEST(RequestEncryptionKeys, UnreadableKeysGiveEmptyText) {
  const std::string bare(update::UpdatePublicKey);
  const std::vector<std::pair<const char*, std::string>> keys = {
      {"empty", ""},
      {"not Base64", std::string(128, '*')},
      {"Base64 of nothing useful", std::string(128, 'A')},
      {"cut short", bare.substr(0, 100)},
      {"one character changed in the header", "X" + bare.substr(1)},
      {"an elliptic-curve key", kEcPublicKey},
  };
  for (const auto& [name, text] : keys) {
    SCOPED_TRACE(name);
    std::string key = text;
    EXPECT_EQ(update::EncryptWithPublicKey("v0.0.0", key), "");
  }
}

TEST(RequestEncryptionKeys, LongerKeysAreSplitIntoPemLinesThatOpenSslReads) {
  // A 1024-bit key's text is 216 characters: three inserted line feeds.
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pair(EVP_RSA_gen(1024), &EVP_PKEY_free);
  ASSERT_TRUE(pair);
  unsigned char* der = nullptr;
  const int derLength = i2d_PUBKEY(pair.get(), &der);
  ASSERT_GT(derLength, 0);
  std::string key = update::Base64Encode(der, derLength);
  OPENSSL_free(der);
  ASSERT_EQ(key.size(), 216u);
  const std::string bare = key;

  const std::string cipher = update::EncryptWithPublicKey("v3.1.4", key);
  EXPECT_EQ(cipher.size(), 172u);
  EXPECT_EQ(update_test::DecryptBase64(pair.get(), cipher), "v3.1.4");
  EXPECT_EQ(key, kHeader + bare.substr(0, 64) + "\n" + bare.substr(64, 64) + "\n" +
                     bare.substr(128, 64) + "\n" + bare.substr(192) + kFooter);
}

TEST(FormatPemPublicKey, BreaksAfterEverySixtyFourCharacters) {
  const std::string a64(64, 'a'), b64(64, 'b'), c2(2, 'c');
  struct Case {
    const char* name;
    std::string in;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"empty", "", ""},
      {"short", "abc", "abc"},
      {"exactly 64: the footer ends the line", a64, a64},
      {"65", a64 + "b", a64 + "\nb"},
      {"128", a64 + b64, a64 + "\n" + b64},
      {"130: a second break at 129", a64 + b64 + c2, a64 + "\n" + b64 + "\n" + c2},
      {"line feed already at 64", a64 + "\n" + b64, a64 + "\n" + b64},
      {"line feed already at 64, then 66 more", a64 + "\n" + b64 + c2,
       a64 + "\n" + b64 + "\n" + c2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.in;
    std::string& result = update::FormatPemPublicKey(text);
    EXPECT_EQ(&result, &text);
    EXPECT_EQ(text, kHeader + c.body + kFooter);
  }
}

TEST(Base64Encode, KnownVectors) {
  const std::vector<std::pair<std::string, std::string>> vectors = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\0", 1), "AA=="},
      {"\xff\xfe", "//4="},
      {"\xfb\xff\xbf", "+/+/"},
  };
  for (const auto& [bytes, text] : vectors) {
    SCOPED_TRACE(text);
    EXPECT_EQ(update::Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()),
                                   static_cast<int>(bytes.size())),
              text);
  }
}

TEST(Base64Encode, AgreesWithOpenSslForEveryLengthAndByteValue) {
  std::vector<unsigned char> bytes(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(255 - i);
  for (int length = 0; length <= 256; ++length) {
    std::string expected(static_cast<std::size_t>((length + 2) / 3 * 4) + 1, '\0');
    const int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(expected.data()), bytes.data(), length);
    expected.resize(static_cast<std::size_t>(n));
    ASSERT_EQ(update::Base64Encode(bytes.data(), length), expected) << "length " << length;
  }
}

TEST(Base64Encode, NothingForNoBytes) {
  const unsigned char byte = 'x';
  EXPECT_EQ(update::Base64Encode(&byte, 0), "");
  EXPECT_EQ(update::Base64Encode(&byte, -1), "");
  EXPECT_EQ(update::Base64Encode(nullptr, 3), "");
}

}  // namespace
