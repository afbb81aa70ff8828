// wardkeep-standin: the local platform service and the update server on
// loopback, with the faults the watchdog has to live with on request.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "jar_signer.h"
#include "private_key.h"
#include "routes.h"
#include "state.h"
#include "tls_files.h"

#ifndef WARDKEEP_STANDIN_KEY
#define WARDKEEP_STANDIN_KEY "update_key.pem"
#endif

namespace standin {

namespace {

constexpr const char* kHost = "127.0.0.1";

constexpr const char* kUsage = R"(Usage: wardkeep-standin [options]

Serves on 127.0.0.1 the local platform service and the update server (with the
JAR download). Once both listen, prints to stdout:
  platform 127.0.0.1:PORT
  update 127.0.0.1:PORT
Stops on SIGTERM or SIGINT.

Ports and process:
  --platform-port N     platform service port (default 2405; 0 picks a free one)
  --update-port N       update server port (default 2406; 0 picks a free one)
  --key PATH            private key (PEM) for the update requests
                        (default: the test key in the source tree)
  --jar-signing-key PATH  Ed25519 private key (PEM) that signs the offered
                        JAR: offers then carry "data"."signature" (see
                        --signature); without it, only the scenarios that
                        need no key add one
  --tls DIR             serve the update port over HTTPS with DIR/server.pem,
                        signed by the test authority DIR/ca.pem; both are made
                        first when missing (a client must trust DIR/ca.pem)
  --tls-host NAME       a name the new certificate carries (repeatable;
                        default 127.0.0.1 and localhost)
  --quiet               no log line per request on stderr
  --help                this text

Platform service (GET / and GET /api/openApi/version):
  --platform S          healthy | fault | empty | html | stall | stall-body | raw
                        (default healthy). empty: 200 without a body; html: 500
                        with an HTML page; stall: never answers; stall-body: 200,
                        the start of a report, then nothing; raw: --platform-body
                        with --platform-status
  --fault-text TEXT     "expContent" of a fault (default "database connection lost")
  --erp NAME            an "erpName" entry of "configDto" (repeatable; in order)
  --no-erp              no "configDto" entries
  --platform-body TEXT  body for --platform raw
  --platform-body-file PATH  the same, read from a file
  --platform-status N   status for --platform raw (default 200)
  --version-text V      "data" of the version endpoint (default v1.0.0)
  --version-mode M      ok | empty | html | stall (default ok)

Update server (POST /api/updateVersion/checkTallyxSDKVersion):
  --update S            none | offer | offer-relative | html | stall | raw
                        (default none). none: {"flag":0}; offer: flag 1 with an
                        absolute URL of this server's JAR; offer-relative: with
                        "/files/stock-relay.jar"; html: 500 with an HTML page;
                        stall: the offer after --update-delay; raw: --update-body
                        with --update-status
  --offer-version V     "data"."version" of an offer (default 2.0.0)
  --offer-url URL       "data"."url" of an offer, verbatim (default: see above)
  --flag F              number | string: "flag" as 1 or "1" (default number)
  --update-delay MS     delay of --update stall (default 8000)
  --update-body TEXT    body for --update raw
  --update-body-file PATH  the same, read from a file
  --update-location URL a Location header on the --update raw answer
  --update-status N     status for --update raw (default 200)
  --signature S         valid | omit | empty | not-base64 | short | other-key |
                        other-hash | other-size | other-version | old-format |
                        other-jar | text (default valid): what the offer says
                        of its JAR. With --jar-signing-key an offer carries
                        "data"."size", "sha256" (of the JAR served) and
                        "signature" over them. valid: over this offer; short:
                        the valid one less its last byte; other-key: by a key
                        made for the purpose; other-hash, other-size,
                        other-version: over that part changed; old-format:
                        over "wardkeep-jar-sha256:<hex>"; other-jar: a valid
                        offer of the JAR with one more byte; text:
                        --signature-text. Without --jar-signing-key the offer
                        has no size and hash, and only omit, empty,
                        not-base64, other-key and text give a signature
  --signature-text T    the signature for --signature text, verbatim

JAR download (GET /files/stock-relay.jar on the update port; byte ranges):
  --download S          normal | drop-once | drop-always | ignore-range | 404 |
                        500 | stall | end-early | flip-byte (default normal).
                        drop-once: the next GET is cut after --drop-after body
                        bytes; drop-always: every GET; ignore-range: 200 with the
                        whole file; stall: sends nothing; end-early: every GET
                        ends cleanly after --drop-after bytes (chunked, no
                        length); flip-byte: the byte at --drop-after inverted
  --drop-after N        body bytes sent before a drop (default 65536)
  --jar PATH            serve this file (read in chunks)
  --jar-size N          size of the generated JAR when --jar is not given
                        (default 1048576; a whole ZIP archive from 120 bytes)
  --revision N          which generated JAR (default 1): another number, other
                        bytes, another ETag and Last-Modified
  --validators V        both | etag | last-modified | none (default both):
                        which of ETag and Last-Modified the JAR is sent with
  --if-range M          honour | ignore (default honour): a Range whose If-Range
                        no longer matches gets the whole file (honour) or the
                        range anyway (ignore)
  --stall-seconds N     longest time a stall holds a request (default 3600)

While running, on either port (form, query string or JSON object body; names
as the options above without "--"; "scenario" names the path's service):
  POST /control                 e.g. platform=fault&fault-text=x&erp=A&erp=B
  POST /control/platform        scenario=fault ...
  POST /control/version         scenario=stall ...   (the version endpoint)
  POST /control/update          scenario=offer-relative&offer-version=2.0.0
  POST /control/download        scenario=drop-once&drop-after=100000
  POST /control/download/queue  the same, held back: each queued setting takes
                                effect as one more download after the next begins
  POST /control/signature       scenario=other-key   (the offer's signature)
  GET  /control/state           current settings
  GET  /control/requests        recorded update requests, decrypted versions
  GET  /control/downloads       recorded download requests, Range and If-Range
  GET  /control/hits            request counts per endpoint
  POST /control/clear           forget the records and counts
Any settings change releases requests that are stalling.
)";

thread_local std::string t_logNote;

struct CommandLine {
  Settings settings;
  int platformPort = 2405;
  int updatePort = 2406;
  std::string keyPath = WARDKEEP_STANDIN_KEY;
  std::string jarSigningKeyPath;
  std::string tlsDir;
  std::vector<std::string> tlsHosts;
  bool quiet = false;
  bool help = false;
};

bool ParsePort(const std::string& text, int& port) {
  try {
    std::size_t used = 0;
    int value = std::stoi(text, &used);
    if (used != text.size() || value < 0 || value > 65535) return false;
    port = value;
    return true;
  } catch (...) {
    return false;
  }
}

std::optional<CommandLine> Parse(int argc, char** argv, std::string& error) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      error = "unexpected argument '" + arg + "'";
      return std::nullopt;
    }
    std::string name = arg.substr(2);
    std::optional<std::string> value;
    if (auto eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (name == "help" || name == "quiet" || IsFlagOption(name)) {
      if (name == "help") line.help = true;
      if (name == "quiet") line.quiet = true;
      if (IsFlagOption(name) && !ApplyOption(line.settings, name, value.value_or(""), error)) {
        return std::nullopt;
      }
      continue;
    }
    if (!value) {
      if (i + 1 >= argc) {
        error = "option '--" + name + "' needs a value";
        return std::nullopt;
      }
      value = argv[++i];
    }
    if (name == "platform-port" || name == "update-port") {
      if (!ParsePort(*value, name == "platform-port" ? line.platformPort : line.updatePort)) {
        error = "bad port '" + *value + "'";
        return std::nullopt;
      }
    } else if (name == "key") {
      line.keyPath = *value;
    } else if (name == "jar-signing-key") {
      line.jarSigningKeyPath = *value;
    } else if (name == "tls") {
      line.tlsDir = *value;
    } else if (name == "tls-host") {
      line.tlsHosts.push_back(*value);
    } else if (!ApplyOption(line.settings, name, *value, error)) {
      return std::nullopt;
    }
  }
  return line;
}

void Configure(httplib::Server& server, const std::string& service, bool quiet) {
  server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  // The library's default adds SO_REUSEPORT, which would let a second stand-in
  // share a busy port and take half the requests; refuse to start instead.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  // Short, so that stopping does not wait long on idle connections.
  server.set_keep_alive_timeout(1);
  server.set_logger([service, quiet](const httplib::Request& req, const httplib::Response& res) {
    std::string note = TakeLogNote();
    if (quiet) return;
    std::string line = "standin " + service + ": " + req.method + " " + req.target + " -> " +
                       std::to_string(res.status);
    if (req.has_header("Range")) line += " (Range " + req.get_header_value("Range") + ")";
    if (!note.empty()) line += " [" + note + "]";
    std::cerr << line + "\n" << std::flush;
  });
}

// Binds on loopback; port 0 asks the system for a free one. Returns the port or -1.
int Bind(httplib::Server& server, int port) {
  if (port == 0) return server.bind_to_any_port(kHost);
  return server.bind_to_port(kHost, port) ? port : -1;
}

}  // namespace

void SetLogNote(std::string note) {
  t_logNote = std::move(note);
}

std::string TakeLogNote() {
  return std::exchange(t_logNote, std::string());
}

int Run(int argc, char** argv) {
  std::string error;
  std::optional<CommandLine> line = Parse(argc, argv, error);
  if (!line) {
    std::cerr << "wardkeep-standin: " << error << "\n(see --help)\n";
    return 2;
  }
  if (line->help) {
    std::cout << kUsage;
    return 0;
  }
  PrivateKey key = PrivateKey::Load(line->keyPath, error);
  if (!key.Valid()) {
    std::cerr << "wardkeep-standin: " << error << "\n";
    return 1;
  }
  JarSigner signer;
  if (!line->jarSigningKeyPath.empty() && !signer.Load(line->jarSigningKeyPath, error)) {
    std::cerr << "wardkeep-standin: " << error << "\n";
    return 1;
  }

  // Signals are taken by sigwait below, never by the server threads.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  State state(line->settings);
  httplib::Server platform;
  std::unique_ptr<httplib::Server> updateServer;
  if (line->tlsDir.empty()) {
    updateServer = std::make_unique<httplib::Server>();
  } else {
    if (line->tlsHosts.empty()) line->tlsHosts = {"127.0.0.1", "localhost"};
    TlsFiles files;
    if (!PrepareTlsFiles(line->tlsDir, line->tlsHosts, files, error)) {
      std::cerr << "wardkeep-standin: " << error << "\n";
      return 1;
    }
    auto secure = std::make_unique<httplib::SSLServer>(files.serverCertificate.c_str(),
                                                       files.serverKey.c_str());
    if (!secure->is_valid()) {
      std::cerr << "wardkeep-standin: cannot use " << files.serverCertificate << "\n";
      return 1;
    }
    updateServer = std::move(secure);
  }
  httplib::Server& update = *updateServer;
  Configure(platform, "platform", line->quiet);
  Configure(update, "update", line->quiet);
  AddPlatformRoutes(platform, state);
  AddControlRoutes(platform, state);
  AddUpdateRoutes(update, state, key, signer);
  AddDownloadRoutes(update, state);
  AddControlRoutes(update, state);

  const int platformPort = Bind(platform, line->platformPort);
  const int updatePort = Bind(update, line->updatePort);
  if (platformPort < 0 || updatePort < 0) {
    std::cerr << "wardkeep-standin: cannot listen on " << kHost << " port "
              << (platformPort < 0 ? line->platformPort : line->updatePort) << "\n";
    return 1;
  }
  state.SetUpdateBaseUrl(std::string(line->tlsDir.empty() ? "http" : "https") + "://" + kHost +
                         ":" + std::to_string(updatePort));
  std::thread platformThread([&] { platform.listen_after_bind(); });
  std::thread updateThread([&] { update.listen_after_bind(); });
  std::cout << "platform " << kHost << ":" << platformPort << "\n"
            << "update " << kHost << ":" << updatePort << "\n"
            << std::flush;

  int signalNumber = 0;
  sigwait(&stopSignals, &signalNumber);
  state.Shutdown();
  platform.stop();
  update.stop();
  platformThread.join();
  updateThread.join();
  if (!line->quiet) std::cerr << "standin: stopped\n";
  return 0;
}

}  // namespace standin

int main(int argc, char** argv) {
  return standin::Run(argc, argv);
}
