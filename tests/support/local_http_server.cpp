#include "support/local_http_server.h"

namespace testing_support {

std::string ReceivedRequest::Header(const std::string& name) const {
  auto it = headers.find(name);
  return it == headers.end() ? std::string() : it->second;
}

std::vector<std::string> ReceivedRequest::HeaderLines() const {
  std::vector<std::string> lines;
  for (const auto& [name, value] : headers) lines.push_back(name + ": " + value);
  return lines;
}

LocalHttpServer::LocalHttpServer() = default;

LocalHttpServer::~LocalHttpServer() {
  {
    std::lock_guard lock(m_mutex);
    m_isStopping = true;
  }
  m_stopping.notify_all();
  m_server.stop();
  if (m_thread.joinable()) m_thread.join();
}

httplib::Server::Handler LocalHttpServer::Recording(httplib::Server::Handler handler) {
  return [this, handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard lock(m_mutex);
      m_requests.push_back({req.method, req.path, req.target, req.headers, req.body});
    }
    handler(req, res);
  };
}

void LocalHttpServer::Get(const std::string& pattern, httplib::Server::Handler handler) {
  m_server.Get(pattern, Recording(std::move(handler)));
}

void LocalHttpServer::Post(const std::string& pattern, httplib::Server::Handler handler) {
  m_server.Post(pattern, Recording(std::move(handler)));
}

void LocalHttpServer::Put(const std::string& pattern, httplib::Server::Handler handler) {
  m_server.Put(pattern, Recording(std::move(handler)));
}

void LocalHttpServer::Delete(const std::string& pattern, httplib::Server::Handler handler) {
  m_server.Delete(pattern, Recording(std::move(handler)));
}

bool LocalHttpServer::Start() {
  m_port = m_server.bind_to_any_port("127.0.0.1");
  if (m_port <= 0) return false;
  m_thread = std::thread([this] { m_server.listen_after_bind(); });
  // stop() only closes a server whose loop has begun; wait for it so the
  // destructor can always end the thread.
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!m_server.is_running() && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return m_server.is_running();
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<ReceivedRequest> LocalHttpServer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

bool LocalHttpServer::WaitUntilStopping(std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  return m_stopping.wait_for(lock, limit, [this] { return m_isStopping; });
}

int UnusedLoopbackPort() {
  LocalHttpServer probe;
  probe.Start();
  return probe.Port();
}

}  // namespace testing_support
