// The local platform service: health report and installed version.
#include <httplib.h>
#include <json/value.h>

#include <chrono>

#include "json_out.h"
#include "routes.h"
#include "state.h"

namespace standin {

namespace {

constexpr const char* kJson = "application/json;charset=UTF-8";

std::string HealthReport(bool ok, const Settings& s) {
  Json::Value report;
  report["exceptionDto"]["ok"] = ok;
  report["exceptionDto"]["expContent"] = ok ? "" : s.faultText;
  report["configDto"] = Json::Value(Json::arrayValue);
  for (const auto& name : s.erpNames) {
    Json::Value entry;
    entry["erpName"] = name;
    report["configDto"].append(entry);
  }
  return WriteJson(report);
}

// Holds the request until the settings change, shutdown, or the stall time ends.
void Stall(State& state, const Settings& s, httplib::Response& res) {
  state.Wait(std::chrono::seconds(s.stallSeconds));
  res.status = 503;
}

// Headers and the start of a report, then nothing more.
void StallBody(State& state, const Settings& s, httplib::Response& res) {
  res.status = 200;
  res.set_chunked_content_provider(
      kJson, [&state, stall = s.stallSeconds](size_t offset, httplib::DataSink& sink) {
        if (offset == 0) {
          static const std::string kStart = "{\"exceptionDto\":{\"ok\":";
          return sink.write(kStart.data(), kStart.size());
        }
        state.Wait(std::chrono::seconds(stall));
        return false;
      });
}

void HandleHealth(State& state, httplib::Response& res) {
  state.CountHit("health");
  const Settings s = state.Snapshot();
  switch (s.platform) {
    case PlatformScenario::Healthy:
      res.set_content(HealthReport(true, s), kJson);
      break;
    case PlatformScenario::Fault:
      res.set_content(HealthReport(false, s), kJson);
      break;
    case PlatformScenario::Empty:
      res.status = 200;
      break;
    case PlatformScenario::Html:
      res.status = 500;
      res.set_content(HtmlErrorPage(500, "Internal Server Error"), "text/html");
      break;
    case PlatformScenario::Stall:
      Stall(state, s, res);
      break;
    case PlatformScenario::StallBody:
      StallBody(state, s, res);
      break;
    case PlatformScenario::Raw:
      res.status = s.platformStatus;
      res.set_content(s.platformBody, kJson);
      break;
  }
}

void HandleVersion(State& state, httplib::Response& res) {
  state.CountHit("version");
  const Settings s = state.Snapshot();
  switch (s.versionMode) {
    case VersionMode::Ok: {
      Json::Value answer;
      answer["data"] = s.versionText;
      res.set_content(WriteJson(answer), kJson);
      break;
    }
    case VersionMode::Empty:
      res.status = 200;
      break;
    case VersionMode::Html:
      res.status = 500;
      res.set_content(HtmlErrorPage(500, "Internal Server Error"), "text/html");
      break;
    case VersionMode::Stall:
      Stall(state, s, res);
      break;
  }
}

}  // namespace

void AddPlatformRoutes(httplib::Server& server, State& state) {
  server.Get(
      "/", [&state](const httplib::Request&, httplib::Response& res) { HandleHealth(state, res); });
  server.Get("/api/openApi/version", [&state](const httplib::Request&, httplib::Response& res) {
    HandleVersion(state, res);
  });
}

}  // namespace standin
