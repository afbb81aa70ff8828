// POSIX test helper: the stand-in as a child process, spoken to over HTTP.
#include "support/posix/standin_process.h"

#include <httplib.h>

#include <chrono>
#include <map>
#include <thread>

namespace testing_support {
namespace {

httplib::Client Client(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(10, 0);
  return client;
}

std::string Url(int port) {
  return "http://127.0.0.1:" + std::to_string(port);
}

}  // namespace

StandinProcess::StandinProcess(const std::string& program, const std::vector<std::string>& options,
                               StandinPorts ports) {
  m_process = std::make_unique<ChildProcess>(StandinCommand(program, ports, options),
                                             std::map<std::string, std::string>{}, m_dir.path());
  // One that has ended (a fixed port taken) will never announce.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < until && m_process->Running()) {
    if (auto address = AnnouncedAddress(m_process->Stdout())) {
      m_address = *address;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string StandinProcess::PlatformUrl() const {
  return Url(m_address.platformPort);
}

std::string StandinProcess::UpdateUrl() const {
  return Url(m_address.updatePort);
}

std::string StandinProcess::JarUrl() const {
  return UpdateUrl() + "/files/stock-relay.jar";
}

bool StandinProcess::Control(const std::string& path, const std::string& form) const {
  auto result =
      Client(m_address.platformPort).Post(path, form, "application/x-www-form-urlencoded");
  return result && result->status == 200;
}

Json::Value StandinProcess::GetJson(const std::string& path) const {
  Json::Value value;
  if (auto result = Client(m_address.platformPort).Get(path)) {
    Json::Reader().parse(result->body, value);
  }
  return value;
}

std::string StandinProcess::Jar() const {
  auto result = Client(m_address.updatePort).Get("/files/stock-relay.jar");
  return result && result->status == 200 ? result->body : std::string();
}

}  // namespace testing_support
