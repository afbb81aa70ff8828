#include "static_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace bench {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port nobody listens on now (the system's choice for port 0).
int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return 0;
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(s);
  return port;
}

bool Accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return false;
  sockaddr_in address = Loopback(port);
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(s);
  return ok;
}

}  // namespace

StaticServer::StaticServer(const std::string& root, const std::string& workDir) {
  if (!std::filesystem::exists(kNginx)) return;
  const int port = FreePort();
  const std::string dir = workDir + "/nginx";
  std::filesystem::create_directories(dir + "/temp");
  {
    // One process in the foreground, nothing logged per request; the user
    // it runs as can read `root`, whoever starts it.
    std::ofstream conf(dir + "/nginx.conf");
    conf << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
         << "error_log " << dir << "/error.log;\npid " << dir << "/nginx.pid;\n"
         << "events { worker_connections 16; }\nhttp {\n  access_log off;\n  sendfile on;\n";
    for (const char* kind : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
      conf << "  " << kind << "_temp_path " << dir << "/temp/" << kind << ";\n";
    }
    conf << "  server { listen 127.0.0.1:" << port << "; root " << root << "; }\n}\n";
  }
  m_process = std::make_unique<testing_support::ChildProcess>(
      std::vector<std::string>{kNginx, "-p", dir, "-c", dir + "/nginx.conf"},
      std::map<std::string, std::string>{}, dir);
  m_process->CloseInput();
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < until && m_process->Running()) {
    if (Accepts(port)) {
      m_port = port;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace bench
