#include "update/jar_signature.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "os/files.h"
#include "support/jar_signing.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "update/tunables.h"

namespace {

using update::SignatureVerdict;

using testing_support::Ed25519Key;
using testing_support::JarSignedText;
using testing_support::OpenSslBase64;
using testing_support::Sha256Hex;

std::string SignedText(const std::string& bytes) {
  return JarSignedText(Sha256Hex(bytes));
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

  const Ed25519Key vendor;
  const Ed25519Key stranger;
  const std::string key = vendor.PublicBase64();
  ASSERT_EQ(key.size(), 44u);
  const std::string valid = vendor.SignBase64(SignedText(jar));
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
      {"63 bytes", key, OpenSslBase64(raw.substr(0, 63)), true, SignatureVerdict::Malformed},
      {"65 bytes", key, OpenSslBase64(raw + "x"), true, SignatureVerdict::Malformed},
      {"one bit changed", key, OpenSslBase64(flipped), true, SignatureVerdict::Mismatch},
      {"signed by another key", key, stranger.SignBase64(SignedText(jar)), true,
       SignatureVerdict::Mismatch},
      {"signature over another file", key, vendor.SignBase64(SignedText(other)), true,
       SignatureVerdict::Mismatch},
      {"right hash without the prefix", key, vendor.SignBase64(Sha256Hex(jar)), true,
       SignatureVerdict::Mismatch},
      {"hash in capitals", key,
       OpenSslBase64(vendor.Sign("wardkeep-jar-sha256:" +
                                 [&] {
                                   std::string hex = Sha256Hex(jar);
                                   for (auto& c : hex)
                                     c = static_cast<char>(
                                         std::toupper(static_cast<unsigned char>(c)));
                                   return hex;
                                 }())),
       true, SignatureVerdict::Mismatch},
      {"no key built in", "", valid, true, SignatureVerdict::NotRequired},
      {"no key built in, no signature", "", "", true, SignatureVerdict::NotRequired},
      {"built-in key not Base64", std::string(43, '*') + "=", valid, true,
       SignatureVerdict::BadKey},
      {"built-in key of 31 bytes", key.substr(0, 40) + "AA==", valid, true,
       SignatureVerdict::BadKey},
      {"built-in key of 33 bytes", OpenSslBase64(std::string(33, 'k')), valid, true,
       SignatureVerdict::BadKey},
      {"bad built-in key before a missing signature", "x", "", true, SignatureVerdict::BadKey},
      {"unreadable file", key, valid, false, SignatureVerdict::Unreadable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tunable::ScopedTunable builtIn(update::tunables::jarSigningKey, c.key);
    os::ReadOnlyFile file;
    const std::wstring path =
        testing_support::WindowsFormPath(dir / (c.readable ? "stock-relay.jar" : "missing.jar"));
    EXPECT_EQ(file.Open(path), c.readable);
    EXPECT_EQ(update::VerifyJarSignature(file, c.signature), c.expected);
  }
}

TEST(JarSignature, TheWholeFileCountsDownToItsLastByte) {
  testing_support::TempDir dir;
  const Ed25519Key vendor;
  tunable::ScopedTunable builtIn(update::tunables::jarSigningKey, vendor.PublicBase64());
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
    EXPECT_EQ(update::VerifyJarSignature(file, vendor.SignBase64(SignedText(jar))),
              SignatureVerdict::Valid);
    if (s.size == 0) continue;
    // The same file one byte shorter was signed: the last byte is part of it.
    EXPECT_EQ(
        update::VerifyJarSignature(file, vendor.SignBase64(SignedText(jar.substr(0, s.size - 1)))),
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
