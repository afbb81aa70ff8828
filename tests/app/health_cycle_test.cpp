#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "app/dialog_ids.h"
#include "app/wardkeep_dlg.h"
#include "support/local_http_server.h"
#include "support/recording_view.h"

namespace {

using testing_support::LocalHttpServer;
using testing_support::RecordingView;

const std::wstring kRunning = L"服务正常运行";
const std::wstring kPrefix = L"Vellun价签服务异常，请联系管理员：";

// The local platform service, answering "/" with whatever the test set last.
class Platform {
 public:
  Platform() {
    m_server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
      std::lock_guard lock(m_mutex);
      res.set_content(m_body, "application/json");
    });
    EXPECT_TRUE(m_server.Start());
  }
  void Answer(std::string body) {
    std::lock_guard lock(m_mutex);
    m_body = std::move(body);
  }
  std::string BaseUrl() const { return m_server.Url(); }
  size_t RequestCount() const { return m_server.Requests().size(); }

 private:
  LocalHttpServer m_server;
  std::mutex m_mutex;
  std::string m_body;
};

std::string Fault(const std::string& text, const std::string& erpName) {
  return R"({"exceptionDto":{"ok":false,"expContent":")" + text +
         R"("},"configDto":[{"erpName":")" + erpName + R"("}]})";
}

const std::string kHealthy = R"({"exceptionDto":{"ok":true},"configDto":[{"erpName":"SAP"}]})";

size_t TextWrites(const std::vector<std::wstring>& calls, int id) {
  std::wstring prefix = L"text " + std::to_wstring(id) + L" ";
  return std::count_if(calls.begin(), calls.end(),
                       [&](const std::wstring& c) { return c.rfind(prefix, 0) == 0; });
}

// The update run is left out: it would ask the update server's real port.
const CwardkeepDlg::UpdateRun kNoUpdate = [] {};

class HealthCycle : public ::testing::Test {
 protected:
  HealthCycle() : dialog(view, platform.BaseUrl(), kNoUpdate) {
    dialog.OnInitDialog();
    view.calls.clear();
  }

  Platform platform;
  RecordingView view;
  CwardkeepDlg dialog;
};

TEST_F(HealthCycle, EachTickFollowsOnlyItsOwnReport) {
  struct Step {
    const char* name;
    std::string answer;
    unsigned timerId;
    bool visible;
    std::wstring status;
    std::wstring erpName;
    size_t readouts;
  } steps[] = {
      {"fault with a name", Fault("Redis down", "SAP"), 1, true, L"Redis down", L"SAP", 1},
      {"fault without text or name", R"({"exceptionDto":{"ok":false}})", 1, true, L"", L"", 1},
      {"healthy, name ignored", kHealthy, 1, false, kRunning, L"", 0},
      {"healthy again", kHealthy, 1, false, kRunning, L"", 0},
      {"another timer", Fault("never asked", "X"), 2, false, kRunning, L"", 0},
      {"fault after healthy", Fault("MySQL down", "Kingdee"), 1, true, L"MySQL down", L"Kingdee",
       1},
      {"not JSON", "<html>busy</html>", 1, false, kRunning, L"", 0},
      {"empty answer", "", 1, true, kPrefix, L"", 1},
  };
  size_t asked = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    platform.Answer(step.answer);
    // Whatever a person typed is overwritten by the next cycle.
    view.texts[app::kStatusEditId] = L"typed";
    view.texts[app::kErpEditId] = L"typed";
    view.calls.clear();

    dialog.OnHealthTimer(step.timerId);
    if (step.timerId == app::kHealthTimerId) ++asked;

    EXPECT_EQ(platform.RequestCount(), asked);
    if (step.timerId != app::kHealthTimerId) {
      EXPECT_TRUE(view.calls.empty());
      continue;
    }
    EXPECT_EQ(view.visible, step.visible);
    EXPECT_EQ(view.texts[app::kStatusEditId], step.status);
    EXPECT_EQ(view.texts[app::kErpEditId], step.erpName);
    EXPECT_EQ(TextWrites(view.calls, app::kMemFreeEditId), step.readouts);
    EXPECT_EQ(TextWrites(view.calls, app::kDiskCEditId), step.readouts);
    // Status first, the ERP box last, the window's state just before it.
    ASSERT_GE(view.calls.size(), 3u);
    EXPECT_EQ(view.calls.front(), L"text 1001 " + step.status);
    EXPECT_EQ(view.calls[view.calls.size() - 2], step.visible ? L"show 1" : L"show 0");
    EXPECT_EQ(view.calls.back(), L"text 1006 " + step.erpName);
  }
}

TEST(HealthCycleWithoutPlatform, UnreachableServiceShowsTheWindowWithLibcurlsText) {
  RecordingView view;
  CwardkeepDlg dialog(
      view, "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort()), kNoUpdate);
  dialog.OnInitDialog();
  dialog.OnHideAfterStart();

  dialog.OnHealthTimer(app::kHealthTimerId);
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(view.texts[app::kStatusEditId], kPrefix + L"Couldn't connect to server");
  EXPECT_EQ(view.texts[app::kErpEditId], L"");
}

}  // namespace
