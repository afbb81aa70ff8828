#include "standin.h"

#include <curl/curl.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

namespace bench {
namespace {

size_t Collect(char* data, size_t size, size_t count, void* text) {
  static_cast<std::string*>(text)->append(data, size * count);
  return size * count;
}

// The body of a 200 answer, or nothing.
std::optional<std::string> Fetch(const std::string& url, const std::string* form) {
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) return std::nullopt;
  std::string body;
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 10L);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
  if (form != nullptr) curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, form->c_str());
  long status = 0;
  if (curl_easy_perform(curl.get()) != CURLE_OK) return std::nullopt;
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
  if (status != 200) return std::nullopt;
  return body;
}

}  // namespace

Standin::Standin(const std::vector<std::string>& args, const std::string& workDir)
    : m_announced(workDir + "/standin.out") {
  std::vector<std::string> argv{WARDKEEP_STANDIN, "--quiet"};
  argv.insert(argv.end(), args.begin(), args.end());
  m_process = std::make_unique<Child>(argv, std::map<std::string, std::string>{}, m_announced);
  static const std::regex kPorts(R"(^platform 127\.0\.0\.1:(\d+)\nupdate 127\.0\.0\.1:(\d+)\n)");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < until && m_process->Running()) {
    std::ifstream in(m_announced);
    std::stringstream text;
    text << in.rdbuf();
    const std::string out = text.str();
    std::smatch match;
    if (std::regex_search(out, match, kPorts)) {
      m_platformPort = std::stoi(match[1]);
      m_updatePort = std::stoi(match[2]);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

Standin::~Standin() = default;  // the child is ended with the process object

bool Standin::Control(const std::string& path, const std::string& form) const {
  return Fetch(PlatformUrl() + path, &form).has_value();
}

Json::Value Standin::GetJson(const std::string& path) const {
  Json::Value value;
  if (auto body = Fetch(PlatformUrl() + path, nullptr)) {
    std::istringstream in(*body);
    Json::CharReaderBuilder builder;
    std::string errors;
    Json::parseFromStream(builder, in, &value, &errors);
  }
  return value;
}

}  // namespace bench
