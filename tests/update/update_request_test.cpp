#include <gtest/gtest.h>

#include <string>

#include "test_key.h"
#include "update/update_check.h"

namespace {

const std::string kPrefix = R"({"type":"14","version":")";
const std::string kSuffix = "\"}\n";

TEST(BuildUpdateRequest, CarriesTheEncryptedVersionInAFixedFrame) {
  const auto key = update_test::LoadTestPrivateKey();
  ASSERT_TRUE(key);
  for (const std::string version : {"v0.0.0", "", "12.34.56-beta+build.7", "版本"}) {
    SCOPED_TRACE(version);
    const std::string body = update::BuildUpdateRequest(version);
    ASSERT_EQ(body.size(), 115u);
    EXPECT_EQ(body.substr(0, kPrefix.size()), kPrefix);
    EXPECT_EQ(body.substr(body.size() - kSuffix.size()), kSuffix);
    const std::string cipher = body.substr(kPrefix.size(), 88);
    EXPECT_EQ(update_test::DecryptBase64(key.get(), cipher), version);
  }
}

TEST(BuildUpdateRequest, SendsAnEmptyVersionWhenEncryptionFails) {
  // 54 bytes do not fit in one block of the 512-bit key.
  EXPECT_EQ(update::BuildUpdateRequest(std::string(54, '9')),
            "{\"type\":\"14\",\"version\":\"\"}\n");
}

TEST(BuildUpdateRequest, EncryptsAfreshEveryTime) {
  EXPECT_NE(update::BuildUpdateRequest("v1"), update::BuildUpdateRequest("v1"));
}

}  // namespace
