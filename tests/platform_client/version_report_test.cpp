#include <gtest/gtest.h>

#include "platform_client/version_query.h"

namespace {

TEST(VersionReport, ReducesEveryAnswerToOneVersionText) {
  struct Case {
    const char* name;
    std::string json;
    std::string version;
  } cases[] = {
      {"string", R"({"data":"v2.3.1","msg":"ok"})", "v2.3.1"},
      {"bytes kept", "{\"data\":\"\xe7\x89\x88 1.0\xff\"}", "\xe7\x89\x88 1.0\xff"},
      {"number", R"({"data":2})", "2"},
      {"real", R"({"data":1.5})", "1.500000"},
      {"object", R"({"data":{"v":1}})", "object"},
      {"array", R"({"data":[]})", "array object"},
      {"boolean", R"({"data":true})", "true"},
      {"comments allowed", "/* v */ {\"data\":\"v1\"}", "v1"},
      {"empty string", R"({"data":""})", "v0.0.0"},
      {"null", R"({"data":null})", "v0.0.0"},
      {"missing", R"({"version":"v9"})", "v0.0.0"},
      {"not JSON", "<html>404</html>", "v0.0.0"},
      {"top level null", "null", "v0.0.0"},
      {"top level array", R"([{"data":"v1"}])", "v0.0.0"},
      {"top level string", R"("v1")", "v0.0.0"},
      {"top level number", "3", "v0.0.0"},
      {"nested too deep for the reader", std::string(5000, '[') + std::string(5000, ']'), "v0.0.0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform_client::ParseVersionReport(c.json), c.version) << c.name;
  }
}

}  // namespace
