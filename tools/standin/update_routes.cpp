// The update server's version check: decrypts and records what the watchdog
// sent, then answers as the current scenario says.
#include <httplib.h>
#include <json/reader.h>
#include <json/value.h>

#include <chrono>

#include "jar_signer.h"
#include "json_out.h"
#include "private_key.h"
#include "routes.h"
#include "state.h"

namespace standin {

namespace {

constexpr const char* kJson = "application/json;charset=UTF-8";

UpdateRecord Record(const httplib::Request& req, const PrivateKey& key) {
  UpdateRecord record;
  record.body = req.body;
  for (const auto& [name, value] : req.headers) {
    // cpp-httplib files the peer's address among the headers.
    if (name.rfind("REMOTE_", 0) == 0 || name.rfind("LOCAL_", 0) == 0) continue;
    record.headers[name] = value;
    record.headerLines.push_back(name + ": " + value);
  }
  Json::Value document;
  Json::CharReaderBuilder builder;
  std::string parseError;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(req.body.data(), req.body.data() + req.body.size(), &document, &parseError) ||
      !document.isObject()) {
    record.error = "body is not a JSON object";
  } else if (!document["version"].isString()) {
    record.error = "no \"version\" string";
  } else {
    record.decrypted =
        key.DecryptBase64(document["version"].asString(), record.version, record.error);
  }
  return record;
}

std::string Offer(const Settings& s, bool relative, const std::string& base, JarSigner& signer) {
  std::string url = s.offerUrl;
  if (url.empty()) url = relative ? kJarPath : base + kJarPath;
  Json::Value answer;
  answer["flag"] = s.flagAsString ? Json::Value("1") : Json::Value(1);
  answer["data"]["version"] = s.offerVersion;
  answer["data"]["url"] = url;
  std::string error;
  signer.Describe(s, answer["data"], error);
  if (!error.empty()) SetLogNote("unsigned: " + error);
  return WriteJson(answer);
}

void HandleCheck(State& state, const PrivateKey& key, JarSigner& signer,
                 const httplib::Request& req, httplib::Response& res) {
  state.CountHit("update");
  UpdateRecord record = Record(req, key);
  SetLogNote(record.decrypted ? "version " + record.version : "undecrypted: " + record.error);
  state.RecordUpdate(std::move(record));

  const Settings s = state.Snapshot();
  switch (s.update) {
    case UpdateScenario::None:
      res.set_content("{\"flag\":0}", kJson);
      break;
    case UpdateScenario::Offer:
      res.set_content(Offer(s, false, state.UpdateBaseUrl(), signer), kJson);
      break;
    case UpdateScenario::OfferRelative:
      res.set_content(Offer(s, true, state.UpdateBaseUrl(), signer), kJson);
      break;
    case UpdateScenario::Html:
      res.status = 500;
      res.set_content(HtmlErrorPage(500, "Internal Server Error"), "text/html");
      break;
    case UpdateScenario::Stall:
      // Answers with an offer, but only after a client with a short time-out has gone.
      if (!state.Wait(std::chrono::milliseconds(s.updateDelayMs))) {
        res.status = 503;
        return;
      }
      res.set_content(Offer(s, false, state.UpdateBaseUrl(), signer), kJson);
      break;
    case UpdateScenario::Raw:
      res.status = s.updateStatus;
      if (!s.updateLocation.empty()) res.set_header("Location", s.updateLocation);
      res.set_content(s.updateBody, kJson);
      break;
  }
}

}  // namespace

void AddUpdateRoutes(httplib::Server& server, State& state, const PrivateKey& key,
                     JarSigner& signer) {
  server.Post(kUpdatePath,
              [&state, &key, &signer](const httplib::Request& req, httplib::Response& res) {
                HandleCheck(state, key, signer, req, res);
              });
}

}  // namespace standin
