#pragma once
// A real HTTP server on 127.0.0.1 and an ephemeral port, serving from its own
// thread for the life of the object. Tests register handlers through it, so
// every request that reaches a handler is recorded first.
//
//   LocalHttpServer server;
//   server.Get("/", [](const httplib::Request&, httplib::Response& res) {
//     res.set_content("{}", "application/json");
//   });
//   server.Start();
//   ... HttpSession session(server.Url("/")); ...
//   EXPECT_EQ(server.Requests().size(), 1u);

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct ReceivedRequest {
  std::string method;
  std::string path;    // without the query
  std::string target;  // as on the request line, query included
  httplib::Headers headers;
  std::string body;

  // The first value of a header (names match case-insensitively), or empty.
  std::string Header(const std::string& name) const;
  // Every header line as "Name: value", in no particular order.
  std::vector<std::string> HeaderLines() const;
};

class LocalHttpServer {
 public:
  LocalHttpServer();
  // Stops the server and joins its thread; handlers waiting in
  // WaitUntilStopping are released first.
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // Register before Start().
  void Get(const std::string& pattern, httplib::Server::Handler handler);
  void Post(const std::string& pattern, httplib::Server::Handler handler);
  void Put(const std::string& pattern, httplib::Server::Handler handler);
  void Delete(const std::string& pattern, httplib::Server::Handler handler);
  // The underlying server for anything else (timeouts, error handler...).
  // Requests served without the registration functions above are not recorded.
  httplib::Server& Raw() { return m_server; }

  // Binds 127.0.0.1 on a free port and serves from a thread. Returns false
  // when no port could be bound.
  bool Start();
  int Port() const { return m_port; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path = "") const;

  // Copies of the recorded requests, in arrival order.
  std::vector<ReceivedRequest> Requests() const;

  // For handlers that must stall: waits until the server is being destroyed or
  // `limit` has passed. Returns true when the server is stopping.
  bool WaitUntilStopping(std::chrono::milliseconds limit);

 private:
  httplib::Server::Handler Recording(httplib::Server::Handler handler);

  httplib::Server m_server;
  std::thread m_thread;
  int m_port = -1;
  mutable std::mutex m_mutex;
  std::condition_variable m_stopping;
  bool m_isStopping = false;
  std::vector<ReceivedRequest> m_requests;
};

// A loopback port on which nothing listens (bound once, then released).
int UnusedLoopbackPort();

}  // namespace testing_support
