// Switching scenarios while running, and reading back what clients sent.
#include <httplib.h>
#include <json/reader.h>
#include <json/value.h>

#include <functional>

#include "json_out.h"
#include "routes.h"
#include "state.h"

namespace standin {

namespace {

constexpr const char* kJson = "application/json;charset=UTF-8";

std::string ScalarText(const Json::Value& value) {
  if (value.isBool()) return value.asBool() ? "true" : "false";
  if (value.isNull()) return "";
  return value.asString();  // strings and numbers
}

bool AddJsonOptions(const std::string& body,
                    const std::function<void(std::string, std::string)>& add, std::string& error) {
  Json::Value document;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(body.data(), body.data() + body.size(), &document, &error) ||
      !document.isObject()) {
    error = "body is not a JSON object";
    return false;
  }
  for (const auto& name : document.getMemberNames()) {
    const Json::Value& value = document[name];
    if (value.isObject()) {
      error = "\"" + name + "\" must be a scalar or an array";
      return false;
    }
    if (value.isArray()) {
      for (const auto& item : value) add(name, ScalarText(item));
    } else {
      add(name, ScalarText(value));
    }
  }
  return true;
}

// Options from the query string and from a form or JSON object body; the key
// "scenario" stands for the service named in the path.
bool CollectOptions(const httplib::Request& req, const std::string& scenarioKey,
                    OptionList& options, std::string& error) {
  auto add = [&](std::string name, std::string value) {
    if (name == "scenario" && !scenarioKey.empty()) name = scenarioKey;
    options.emplace_back(std::move(name), std::move(value));
  };
  auto collect = [&](const std::string& text) {
    httplib::Params params;
    httplib::detail::parse_query_text(text, params);
    for (const auto& [name, value] : params) add(name, value);
  };
  const auto question = req.target.find('?');
  if (question != std::string::npos) collect(req.target.substr(question + 1));
  const auto firstChar = req.body.find_first_not_of(" \t\r\n");
  if (firstChar == std::string::npos) return true;
  if (req.body[firstChar] == '{') return AddJsonOptions(req.body, add, error);
  collect(req.body);
  return true;
}

Json::Value SettingsJson(const Settings& s) {
  Json::Value out;
  out["platform"] = Describe(s.platform);
  out["fault-text"] = s.faultText;
  out["erp"] = Json::Value(Json::arrayValue);
  for (const auto& name : s.erpNames) out["erp"].append(name);
  out["platform-body"] = s.platformBody;
  out["platform-status"] = s.platformStatus;
  out["version-text"] = s.versionText;
  out["version-mode"] = Describe(s.versionMode);
  out["update"] = Describe(s.update);
  out["offer-version"] = s.offerVersion;
  out["offer-url"] = s.offerUrl;
  out["flag"] = s.flagAsString ? "string" : "number";
  out["update-delay"] = static_cast<Json::Int64>(s.updateDelayMs);
  out["update-body"] = s.updateBody;
  out["update-status"] = s.updateStatus;
  out["signature"] = Describe(s.signature);
  out["signature-text"] = s.signatureText;
  out["download"] = Describe(s.download);
  out["drop-after"] = static_cast<Json::Int64>(s.dropAfter);
  out["jar"] = s.jarPath;
  out["jar-size"] = static_cast<Json::Int64>(s.jarSize);
  out["revision"] = static_cast<Json::Int64>(s.revision);
  out["validators"] = Describe(s.validators);
  out["if-range"] = s.honourIfRange ? "honour" : "ignore";
  out["stall-seconds"] = static_cast<Json::Int64>(s.stallSeconds);
  return out;
}

void AddSetter(httplib::Server& server, State& state, const std::string& path,
               const std::string& scenarioKey) {
  server.Post(path, [&state, scenarioKey](const httplib::Request& req, httplib::Response& res) {
    OptionList options;
    std::string error;
    Json::Value answer;
    if (CollectOptions(req, scenarioKey, options, error) && state.Apply(options, error)) {
      answer["ok"] = true;
      answer["settings"] = SettingsJson(state.Snapshot());
    } else {
      res.status = 400;
      answer["ok"] = false;
      answer["error"] = error;
      SetLogNote(error);
    }
    res.set_content(WriteJson(answer), kJson);
  });
}

}  // namespace

void AddControlRoutes(httplib::Server& server, State& state) {
  AddSetter(server, state, "/control", "");
  AddSetter(server, state, "/control/platform", "platform");
  AddSetter(server, state, "/control/version", "version-mode");
  AddSetter(server, state, "/control/update", "update");
  AddSetter(server, state, "/control/download", "download");
  AddSetter(server, state, "/control/signature", "signature");
  server.Post("/control/download/queue", [&state](const httplib::Request& req,
                                                  httplib::Response& res) {
    OptionList options;
    std::string error;
    Json::Value answer;
    answer["ok"] = CollectOptions(req, "download", options, error) && state.Queue(options, error);
    if (!answer["ok"].asBool()) {
      res.status = 400;
      answer["error"] = error;
      SetLogNote(error);
    }
    res.set_content(WriteJson(answer), kJson);
  });

  server.Get("/control/state", [&state](const httplib::Request&, httplib::Response& res) {
    res.set_content(WriteJson(SettingsJson(state.Snapshot())), kJson);
  });
  server.Get("/control/requests", [&state](const httplib::Request&, httplib::Response& res) {
    Json::Value list(Json::arrayValue);
    for (const auto& record : state.Updates()) {
      Json::Value item;
      item["body"] = record.body;
      item["headers"] = Json::Value(Json::objectValue);
      for (const auto& [name, value] : record.headers) item["headers"][name] = value;
      item["headerLines"] = Json::Value(Json::arrayValue);
      for (const auto& line : record.headerLines) item["headerLines"].append(line);
      item["decrypted"] = record.decrypted;
      if (record.decrypted) {
        item["version"] = record.version;
      } else {
        item["error"] = record.error;
      }
      list.append(item);
    }
    res.set_content(WriteJson(list), kJson);
  });
  server.Get("/control/downloads", [&state](const httplib::Request&, httplib::Response& res) {
    Json::Value list(Json::arrayValue);
    for (const auto& record : state.Downloads()) {
      Json::Value item;
      item["method"] = record.method;
      item["range"] = record.range;
      item["if-range"] = record.ifRange;
      item["status"] = record.status;
      list.append(item);
    }
    res.set_content(WriteJson(list), kJson);
  });
  server.Get("/control/hits", [&state](const httplib::Request&, httplib::Response& res) {
    Json::Value hits(Json::objectValue);
    for (const char* name : {"health", "version", "update", "download"}) hits[name] = 0;
    for (const auto& [name, count] : state.Hits()) hits[name] = static_cast<Json::Int64>(count);
    res.set_content(WriteJson(hits), kJson);
  });
  server.Post("/control/clear", [&state](const httplib::Request&, httplib::Response& res) {
    state.Clear();
    res.set_content("{\"ok\":true}", kJson);
  });
}

}  // namespace standin
