#include "update/offer_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/files.h"
#include "support/jar_signing.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "update/version_order.h"

namespace {

using testing_support::Ed25519Key;
using testing_support::OfferSignedText;
using testing_support::OpenSslBase64;
using update::OfferFault;

const std::string kHash = std::string(63, 'a') + "7";
const std::string kOtherHash = std::string(63, 'a') + "8";

update::UpdateOffer Offer(const std::string& version, const std::string& size,
                          const std::string& sha256, const std::string& signature) {
  update::UpdateOffer offer;
  offer.downloadUrl = "http://updates.example:2406/files/stock-relay.jar";
  offer.remoteVersion = version;
  offer.size = size;
  offer.sha256 = sha256;
  offer.signature = signature;
  return offer;
}

// Bytes that are not the same in any two chunks of the reader.
std::string JarBytes(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned x = seed;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<char>(x >> 16);
  }
  return bytes;
}

TEST(OfferCheck, OnlyTheVendorsSignatureOverThisVersionSizeAndHashPasses) {
  const Ed25519Key vendor;
  const Ed25519Key next;  // the key that replaces it, built in beside it
  const Ed25519Key stranger;
  const std::string key = vendor.PublicBase64();
  ASSERT_EQ(key.size(), 44u);
  const std::string text = OfferSignedText("2.0.0", 123456, kHash);
  const std::string valid = vendor.SignBase64(text);
  std::string flipped = vendor.Sign(text);
  flipped[10] = static_cast<char>(flipped[10] ^ 1);
  std::string upper = kHash;
  upper[0] = 'A';
  const std::string small = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
  const std::string identity = "AQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";

  const struct {
    const char* name;
    std::string keys;  // built in
    update::UpdateOffer offer;
    std::optional<std::string> installed;
    OfferFault expected;
  } rows[] = {
      {"valid", key, Offer("2.0.0", "123456", kHash, valid), std::nullopt, OfferFault::None},
      {"valid, later than installed", key, Offer("2.0.0", "123456", kHash, valid), "1.9.10",
       OfferFault::None},
      {"second of two keys", next.PublicBase64() + ", " + key,
       Offer("2.0.0", "123456", kHash, valid), std::nullopt, OfferFault::None},
      {"first of two keys", key + ";" + next.PublicBase64(), Offer("2.0.0", "123456", kHash, valid),
       std::nullopt, OfferFault::None},
      {"replayed: the installed version", key, Offer("2.0.0", "123456", kHash, valid), "2.0.0",
       OfferFault::NotLater},
      {"replayed: the same version written longer", key, Offer("2.0.0", "123456", kHash, valid),
       "v2.0", OfferFault::NotLater},
      {"replayed: older", key, Offer("2.0.0", "123456", kHash, valid), "2.0.1",
       OfferFault::NotLater},
      {"no signature", key, Offer("2.0.0", "123456", kHash, ""), std::nullopt,
       OfferFault::NoSignature},
      {"not Base64", key, Offer("2.0.0", "123456", kHash, std::string(87, '!') + "="), std::nullopt,
       OfferFault::BadSignature},
      {"63 bytes", key, Offer("2.0.0", "123456", kHash, OpenSslBase64(vendor.Sign(text).substr(1))),
       std::nullopt, OfferFault::BadSignature},
      {"one bit changed", key, Offer("2.0.0", "123456", kHash, OpenSslBase64(flipped)),
       std::nullopt, OfferFault::WrongSignature},
      {"another key", key, Offer("2.0.0", "123456", kHash, stranger.SignBase64(text)), std::nullopt,
       OfferFault::WrongSignature},
      {"signed for another size", key, Offer("2.0.0", "123457", kHash, valid), std::nullopt,
       OfferFault::WrongSignature},
      {"signed for another hash", key, Offer("2.0.0", "123456", kOtherHash, valid), std::nullopt,
       OfferFault::WrongSignature},
      {"signed for another version", key, Offer("2.0.1", "123456", kHash, valid), std::nullopt,
       OfferFault::WrongSignature},
      {"the same version written otherwise", key, Offer("v2.0.0", "123456", kHash, valid),
       std::nullopt, OfferFault::WrongSignature},
      {"the old message over the hash alone", key,
       Offer("2.0.0", "123456", kHash, vendor.SignBase64("wardkeep-jar-sha256:" + kHash)),
       std::nullopt, OfferFault::WrongSignature},
      {"without its last line feed", key,
       Offer("2.0.0", "123456", kHash, vendor.SignBase64(text.substr(0, text.size() - 1))),
       std::nullopt, OfferFault::WrongSignature},
      {"no size", key, Offer("2.0.0", "", kHash, valid), std::nullopt, OfferFault::NoDigest},
      {"no hash", key, Offer("2.0.0", "123456", "", valid), std::nullopt, OfferFault::NoDigest},
      {"size with a leading zero", key, Offer("2.0.0", "0123456", kHash, valid), std::nullopt,
       OfferFault::BadDigest},
      {"size negative", key, Offer("2.0.0", "-1", kHash, valid), std::nullopt,
       OfferFault::BadDigest},
      {"size a real number", key, Offer("2.0.0", "123456.000000", kHash, valid), std::nullopt,
       OfferFault::BadDigest},
      {"hash in capitals", key, Offer("2.0.0", "123456", upper, valid), std::nullopt,
       OfferFault::BadDigest},
      {"hash too short", key, Offer("2.0.0", "123456", kHash.substr(1), valid), std::nullopt,
       OfferFault::BadDigest},
      {"version not numbers", key, Offer("2.0.0-beta", "123456", kHash, valid), std::nullopt,
       OfferFault::BadVersion},
      {"small-order key", small, Offer("2.0.0", "123456", kHash, valid), std::nullopt,
       OfferFault::BadKey},
      {"the identity as key", identity, Offer("2.0.0", "123456", kHash, valid), std::nullopt,
       OfferFault::BadKey},
      {"a small-order key beside a good one", key + "," + small,
       Offer("2.0.0", "123456", kHash, valid), std::nullopt, OfferFault::BadKey},
      {"an empty entry in the list", key + ",", Offer("2.0.0", "123456", kHash, valid),
       std::nullopt, OfferFault::BadKey},
      {"a key of 31 bytes", key.substr(0, 40) + "AA==", Offer("2.0.0", "123456", kHash, valid),
       std::nullopt, OfferFault::BadKey},
      // Without a key nothing is required and no version compared.
      {"no key, nothing said", "", Offer("1.0", "", "", ""), "2.0.0", OfferFault::None},
      {"no key, size and hash said", "", Offer("x", "5", kHash, ""), std::nullopt,
       OfferFault::None},
      {"no key, a malformed hash", "", Offer("2.0.0", "5", "abc", ""), std::nullopt,
       OfferFault::BadDigest},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const update::OfferCheck check = update::CheckOffer({"", row.keys}, row.offer, row.installed);
    EXPECT_EQ(check.fault, row.expected) << testing::PrintToString(static_cast<int>(check.fault));
    if (row.expected == OfferFault::None && !row.offer.size.empty()) {
      EXPECT_EQ(check.expected.size, std::stoll(row.offer.size));
      EXPECT_EQ(check.expected.sha256, row.offer.sha256);
    }
  }
}

TEST(OfferCheck, EveryFaultHasItsOwnReason) {
  std::vector<std::wstring> seen;
  for (OfferFault fault : {OfferFault::None, OfferFault::BadVersion, OfferFault::NoDigest,
                           OfferFault::BadDigest, OfferFault::NoSignature, OfferFault::BadSignature,
                           OfferFault::WrongSignature, OfferFault::BadKey, OfferFault::NotLater}) {
    const std::wstring text = update::DescribeOfferFault(fault);
    EXPECT_FALSE(text.empty());
    for (const auto& earlier : seen) EXPECT_NE(text, earlier);
    seen.push_back(text);
  }
}

// The list the build and scripts/release refuse is the one the program
// refuses, and the rule behind it leaves real keys alone.
TEST(SigningKeys, EveryEncodingOfASmallOrderPointIsRefused) {
  const std::string list = testing_support::ReadFile(std::filesystem::path(WARDKEEP_SOURCE_DIR) /
                                                     "cmake" / "ed25519_small_order_keys.txt");
  std::vector<std::string> listed;
  for (std::size_t at = 0; at < list.size();) {
    std::size_t end = list.find('\n', at);
    if (end == std::string::npos) end = list.size();
    const std::string line = list.substr(at, end - at);
    if (!line.empty() && line[0] != '#') listed.push_back(line);
    at = end + 1;
  }
  // Seven y coordinates, each with either sign bit.
  ASSERT_EQ(listed.size(), 14u);
  for (const std::string& key : listed) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(update::ParseSigningKeys(key));
    EXPECT_EQ(update::SigningKeysIn({"", key}), update::SigningKeys::Unusable);
  }
  for (int i = 0; i < 20; ++i) {
    const Ed25519Key real;
    const auto keys = update::ParseSigningKeys(real.PublicBase64());
    ASSERT_TRUE(keys);
    ASSERT_EQ(keys->size(), 1u);
    EXPECT_FALSE(update::IsSmallOrderKey((*keys)[0]));
  }
  EXPECT_EQ(update::ParseSigningKeys("")->size(), 0u);
  EXPECT_EQ(update::SigningKeysIn({"", ""}), update::SigningKeys::None);
}

TEST(VersionOrder, DotSeparatedNumbersAfterAnOptionalV) {
  const struct {
    const char* offered;
    const char* installed;
    bool later;
  } rows[] = {
      {"2.0.0", "1.9.9", true},   {"2.0.10", "2.0.9", true},  {"v2.1", "2.0.99", true},
      {"2.0.0.1", "2.0", true},   {"10", "9.99.99", true},    {"2.0.0", "2.0.0", false},
      {"2.0", "2.0.0", false},    {"v2.0.0", "2.0.0", false}, {"1.9.9", "2.0.0", false},
      {"2.0.0-rc", "1.0", false}, {"2..0", "1.0", false},     {"2.0.", "1.0", false},
      {".2", "1.0", false},       {"V2.0", "1.0", false},     {"", "1.0", false},
      {"2.0", "", false},         {" 2.0", "1.0", false},     {"1234567890", "1", false},
      {"123456789", "1", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.offered) + " over " + row.installed);
    EXPECT_EQ(update::IsLaterVersion(row.offered, row.installed), row.later);
  }
}

TEST(JarDigest, TheWholeFileCountsDownToItsLastByte) {
  testing_support::TempDir dir;
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{256 * 1024},
                           std::size_t{256 * 1024 + 1}, std::size_t{3 * 256 * 1024 + 4321}}) {
    SCOPED_TRACE(size);
    const std::string jar = JarBytes(size, 3);
    testing_support::WriteFile(dir / "a.jar", jar);
    os::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(testing_support::WindowsFormPath(dir / "a.jar")));
    update::JarDigest digest;
    ASSERT_TRUE(update::DigestWholeFile(file, digest));
    EXPECT_EQ(digest.size, static_cast<std::int64_t>(size));
    EXPECT_EQ(digest.sha256, testing_support::Sha256Hex(jar));
  }
  const os::ReadOnlyFile closed;
  update::JarDigest digest;
  EXPECT_FALSE(update::DigestWholeFile(closed, digest));
}

}  // namespace
