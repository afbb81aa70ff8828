#include "support/posix/standin_process.h"

#include <httplib.h>

#include <chrono>
#include <map>
#include <regex>
#include <thread>

namespace testing_support {
namespace {

httplib::Client Client(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(10, 0);
  return client;
}

}  // namespace

StandinProcess::StandinProcess(const std::string& program,
                               const std::vector<std::string>& options) {
  std::vector<std::string> argv{program, "--platform-port", "0", "--update-port", "0", "--quiet"};
  argv.insert(argv.end(), options.begin(), options.end());
  m_process =
      std::make_unique<ChildProcess>(argv, std::map<std::string, std::string>{}, m_dir.path());
  static const std::regex kPorts(R"(^platform 127\.0\.0\.1:(\d+)\nupdate 127\.0\.0\.1:(\d+)\n)");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < until) {
    std::smatch match;
    const std::string out = m_process->Stdout();
    if (std::regex_search(out, match, kPorts)) {
      m_platformPort = std::stoi(match[1]);
      m_updatePort = std::stoi(match[2]);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string StandinProcess::PlatformUrl() const {
  return "http://127.0.0.1:" + std::to_string(m_platformPort);
}

std::string StandinProcess::UpdateUrl() const {
  return "http://127.0.0.1:" + std::to_string(m_updatePort);
}

std::string StandinProcess::JarUrl() const {
  return UpdateUrl() + "/files/stock-relay.jar";
}

bool StandinProcess::Control(const std::string& path, const std::string& form) const {
  auto result = Client(m_platformPort).Post(path, form, "application/x-www-form-urlencoded");
  return result && result->status == 200;
}

Json::Value StandinProcess::GetJson(const std::string& path) const {
  Json::Value value;
  if (auto result = Client(m_platformPort).Get(path)) Json::Reader().parse(result->body, value);
  return value;
}

std::string StandinProcess::Jar() const {
  auto result = Client(m_updatePort).Get("/files/stock-relay.jar");
  return result && result->status == 200 ? result->body : std::string();
}

}  // namespace testing_support
