// Native backend of the event log service: syslog(3), identity "wardkeep".
#include "os/event_log.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "os/posix/unique_fd.h"
#include "unicode/utf8.h"

namespace os {

namespace {

int Priority(EventLevel level) {
  switch (level) {
    case EventLevel::Warning:
      return LOG_WARNING;
    case EventLevel::Error:
      return LOG_ERR;
    case EventLevel::Information:
      break;
  }
  return LOG_INFO;
}

std::string Message(unsigned id, const std::vector<std::wstring>& lines) {
  std::string message = "[" + std::to_string(id) + "]";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    message += i == 0 ? " " : "; ";
    message += unicode::EncodeUtf8(lines[i]);
  }
  return message;
}

// $WARDKEEP_SYSLOG_SOCKET, when set, is where the record goes instead of the
// system's /dev/log, in the form syslog(3) sends it (a datagram
// "<priority>wardkeep[pid]: message"): a test owns that socket. The
// installed program never has it set.
bool SendToTestSocket(int priority, const std::string& message) {
  const char* path = std::getenv("WARDKEEP_SYSLOG_SOCKET");
  if (path == nullptr || *path == '\0') return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof address.sun_path) return true;
  std::strcpy(address.sun_path, path);
  const posix::UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!socket) return true;
  const std::string record = "<" + std::to_string(LOG_USER | priority) + ">wardkeep[" +
                             std::to_string(::getpid()) + "]: " + message;
  (void)::sendto(socket.Get(), record.data(), record.size(), 0,
                 reinterpret_cast<const sockaddr*>(&address), sizeof address);
  return true;
}

}  // namespace

void WriteEvent(unsigned id, EventLevel level, const std::vector<std::wstring>& lines) {
  const std::string message = Message(id, lines);
  if (SendToTestSocket(Priority(level), message)) return;
  ::openlog("wardkeep", LOG_PID, LOG_USER);
  ::syslog(Priority(level), "%s", message.c_str());
  ::closelog();
}

}  // namespace os
