// The machine's "Updates" policy: 0 keeps the update run from asking anyone
// anything and says so in one line; absent or any other number, the run asks
// the update server as ever.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/local_http_server.h"
#include "support/machine_policy.h"
#include "upgrade/update_run.h"

namespace {

using testing_support::LocalHttpServer;
using testing_support::MachinePolicy;

const char kCheckPath[] = "/api/updateVersion/checkTallyxSDKVersion";
const char kNoOffer[] = "没有可用的更新\n";
const char kSwitchedOff[] = "管理员策略已关闭更新，不检查更新\n";

struct Row {
  const char* what;
  std::optional<std::uint32_t> updates;
  std::optional<std::wstring> updatesAsText;
  bool asks;
  const char* line;
};

TEST(UpdatePolicy, ZeroSwitchesTheWholeRunOffAndNothingElseDoes) {
  const Row rows[] = {
      {"absent", std::nullopt, std::nullopt, true, kNoOffer},
      {"0", 0u, std::nullopt, false, kSwitchedOff},
      {"1", 1u, std::nullopt, true, kNoOffer},
      // `reg add` without /t REG_DWORD: what the administrator meant.
      {"the text 0", std::nullopt, L"0", false, kSwitchedOff},
      {"the text off", std::nullopt, L"off", true, kNoOffer},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    LocalHttpServer server;
    server.Get("/api/openApi/version", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(R"({"code":0,"data":"1.0.0"})", "application/json");
    });
    server.Post(kCheckPath, [](const httplib::Request&, httplib::Response& res) {
      res.set_content(R"({"flag":0,"data":null})", "application/json");
    });
    ASSERT_TRUE(server.Start());

    MachinePolicy policy;
    if ((row.updates && !policy.SetNumber(L"Updates", *row.updates)) ||
        (row.updatesAsText && !policy.SetText(L"Updates", *row.updatesAsText))) {
      GTEST_SKIP() << "the machine's policies cannot be written here (not root)";
    }
    ::testing::internal::CaptureStdout();
    upgrade::RunUpdate({server.Url(), "", server.Url()});
    // The one line is the whole run: nothing is offered either way.
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.line);
    EXPECT_EQ(server.Requests().empty(), !row.asks);
  }
}

}  // namespace
