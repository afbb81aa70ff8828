#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/event_report.h"
#include "app/wardkeep_dlg.h"
#include "support/local_http_server.h"
#include "support/recording_view.h"

namespace {

using app::EventId;
using namespace std::chrono_literals;

struct Written {
  EventId id;
  host::EventLevel level;
  std::vector<std::wstring> lines;
};

struct Recorder {
  std::vector<Written> events;
  app::EventSink Sink() {
    return [this](EventId id, host::EventLevel level, const std::vector<std::wstring>& lines) {
      events.push_back({id, level, lines});
    };
  }
  std::vector<EventId> Ids() const {
    std::vector<EventId> ids;
    for (const Written& e : events) ids.push_back(e.id);
    return ids;
  }
};

// Event Viewer places the strings by the message table: for each ID it must
// have the level's severity and exactly the lines the program writes.
TEST(EventMessageTable, HasEveryEventWithItsLevelAndLineCount) {
  std::ifstream file(std::string(WARDKEEP_SOURCE_DIR) + "/res/wardkeep_events.mc");
  ASSERT_TRUE(file);
  std::stringstream text;
  text << file.rdbuf();
  const std::string table = text.str();
  std::map<unsigned, std::pair<std::string, int>> entries;  // id -> severity, highest %n
  const std::regex entry(
      R"(MessageId=(\d+)\s*\nSeverity=(\w+)\s*\nSymbolicName=\w+\s*\nLanguage=\w+\s*\n([^]*?)\n\.\n)");
  for (auto it = std::sregex_iterator(table.begin(), table.end(), entry);
       it != std::sregex_iterator(); ++it) {
    int highest = 0;
    const std::string body = (*it)[3];
    const std::regex insertion(R"(%([0-9]+))");
    for (auto in = std::sregex_iterator(body.begin(), body.end(), insertion);
         in != std::sregex_iterator(); ++in) {
      highest = std::max(highest, std::stoi((*in)[1]));
    }
    entries[std::stoul((*it)[1])] = {(*it)[2], highest};
  }
  ASSERT_EQ(entries.size(), app::kEventDefinitions.size());
  const std::map<host::EventLevel, std::string> severity = {
      {host::EventLevel::Information, "Informational"},
      {host::EventLevel::Warning, "Warning"},
      {host::EventLevel::Error, "Error"}};
  for (const app::EventDefinition& definition : app::kEventDefinitions) {
    const unsigned id = static_cast<unsigned>(definition.id);
    ASSERT_EQ(entries.count(id), 1u) << id;
    EXPECT_EQ(entries[id].first, severity.at(definition.level)) << id;
    EXPECT_EQ(entries[id].second, static_cast<int>(definition.lineCount)) << id;
  }
}

TEST(EventReporter, WritesAtMostSixOfAKindAMinuteAndCountsTheRest) {
  Recorder recorder;
  auto now = std::chrono::steady_clock::time_point() + 1h;
  app::EventReporter reporter(recorder.Sink(), [&] { return now; });
  app::Event fault{EventId::HealthFault, {L"Health check: fault", L"Fault: x"}};
  for (int i = 0; i < 10; ++i) {
    reporter.Report(fault);
    now += 1s;
  }
  // Another kind has a limit of its own.
  reporter.Report({EventId::ButtonDone, {L"Button"}});
  ASSERT_EQ(recorder.events.size(), 7u);
  EXPECT_EQ(recorder.events.back().id, EventId::ButtonDone);
  EXPECT_EQ(recorder.events.back().lines.size(), 5u);  // padded to the message table's count
  now += 60s;
  reporter.Report(fault);
  ASSERT_EQ(recorder.events.size(), 8u);
  EXPECT_EQ(recorder.events.back().lines[0],
            L"Health check: fault (4 earlier events of this kind not written: at most 6 a minute)");
  EXPECT_EQ(recorder.events.back().level, host::EventLevel::Error);
}

TEST(UpdateEvent, NamesTheOutcomeTheCauseAndTheLevelFromTheLines) {
  struct Case {
    const char* name;
    std::vector<std::wstring> lines;
    EventId id;
    std::wstring outcome;
    std::wstring cause;
  };
  const std::vector<Case> cases = {
      {"no offer", {L"没有可用的更新"}, EventId::UpdateEnded, L"没有可用的更新", L"none"},
      {"http status",
       {L"检查更新失败: 更新服务器回答了HTTP状态 503"},
       EventId::UpdateWarning,
       L"检查更新失败: 更新服务器回答了HTTP状态 503",
       L"none"},
      {"installed",
       {L"更新服务器提供版本 2.0.0，下载自 h:1", L"停止服务: stock-relay",
        L"服务已运行: stock-relay", L"操作完成。"},
       EventId::UpdateEnded,
       L"服务已运行: stock-relay",
       L"none"},
      {"refused archive",
       {L"找到新的JAR文件，开始处理...",
        L"错误: 新的JAR文件不完整或已损坏 (x)，不进行JAR包替换升级", L"原因: 拒绝访问。 (5)",
        L"操作完成。"},
       EventId::UpdateFailed,
       L"错误: 新的JAR文件不完整或已损坏 (x)，不进行JAR包替换升级",
       L"拒绝访问。 (5)"},
      {"stop warning only",
       {L"停止服务: stock-relay", L"警告: 停止服务失败，可能服务未运行",
        L"服务已运行: stock-relay"},
       EventId::UpdateWarning,
       L"服务已运行: stock-relay",
       L"none"},
      {"nothing said", {}, EventId::UpdateEnded, L"none", L"none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    upgrade::RunRecord record;
    record.lines = c.lines;
    const app::Event event = app::UpdateEvent(record, 7s);
    EXPECT_EQ(event.id, c.id);
    ASSERT_EQ(event.lines.size(), 8u);
    EXPECT_EQ(event.lines[4], L"Duration: 7 s");
    EXPECT_EQ(event.lines[5], L"Outcome: " + c.outcome);
    EXPECT_EQ(event.lines[6], L"Cause: " + c.cause);
  }
  upgrade::RunRecord offered;
  offered.offeredVersion = "2.0.0\x01";
  offered.downloadHost = "updates.example.com:2406";
  offered.downloadBytes = 300000;
  const app::Event event = app::UpdateEvent(offered, 0s);
  EXPECT_EQ(event.lines[1], L"Offered version: 2.0.0?");
  EXPECT_EQ(event.lines[2], L"Download host: updates.example.com:2406");
  EXPECT_EQ(event.lines[3], L"Size: 300000 bytes");
}

TEST(ButtonEvent, NamesTheFlushAndEachServiceAndIsAWarningWhenOneFailed) {
  app::ButtonRecord record;
  record.services = {{L"redis-orv", app::ServiceStart::AlreadyRunning},
                     {L"Mysql-orv", app::ServiceStart::Accepted},
                     {L"stock-relay", app::ServiceStart::AlreadyRunning}};
  app::Event done = app::ButtonEvent(record);
  EXPECT_EQ(done.id, EventId::ButtonDone);
  EXPECT_EQ(done.lines[1], L"Redis cache: not flushed: no installation on this machine");
  EXPECT_EQ(done.lines[3], L"Mysql-orv: started (the start was accepted)");
  record.redisFlush = host::FlushResult::Flushed;
  record.services[2].second = app::ServiceStart::Failed;
  app::Event failed = app::ButtonEvent(record);
  EXPECT_EQ(failed.id, EventId::ButtonFailed);
  EXPECT_EQ(failed.lines[1], L"Redis cache: flushed (FLUSHALL answered +OK)");
  record.redisFlush = host::FlushResult::NoServer;
  EXPECT_EQ(app::ButtonEvent(record).lines[1],
            L"Redis cache: not flushed: nothing listens on 127.0.0.1:16380 (Redis stopped)");
  EXPECT_EQ(failed.lines[4], L"stock-relay: FAILED: not running and could not be started");
}

// Through the dialog's own health cycle, against a platform that answers what
// the test sets: a change writes one event, a run of equal ticks none.
TEST(HealthEvents, OnlyChangesBetweenWellAndFaultAreWritten) {
  std::string answer = R"({"exceptionDto":{"ok":true}})";
  testing_support::LocalHttpServer platform;
  platform.Get("/", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(answer, "application/json");
  });
  ASSERT_TRUE(platform.Start());
  testing_support::RecordingView view;
  Recorder recorder;
  CwardkeepDlg dialog(view, platform.Url(), {}, recorder.Sink());
  dialog.OnInitDialog();
  ASSERT_EQ(recorder.Ids(), std::vector<EventId>{EventId::Started});
  EXPECT_EQ(recorder.events[0].lines.size(), 6u);

  const std::string fault = R"({"exceptionDto":{"ok":false,"expContent":"数据库连接失败"}})";
  struct Phase {
    const std::string* body;
    int ticks;
    std::vector<EventId> written;
  };
  const std::string healthy = answer;
  // Thirty healthy ticks are ten minutes of the real program.
  const std::vector<Phase> phases = {{&healthy, 30, {}},
                                     {&fault, 3, {EventId::HealthFault}},
                                     {&healthy, 30, {EventId::HealthRecovered}},
                                     {&fault, 1, {EventId::HealthFault}}};
  for (const Phase& phase : phases) {
    recorder.events.clear();
    answer = *phase.body;
    for (int i = 0; i < phase.ticks; ++i) dialog.OnHealthTimer(1);
    EXPECT_EQ(recorder.Ids(), phase.written);
  }
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events[0].lines,
            (std::vector<std::wstring>{L"Health check: fault", L"Fault: 数据库连接失败"}));
}

}  // namespace
