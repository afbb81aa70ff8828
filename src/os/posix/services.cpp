// Native backend of the services service: `systemctl` calls (show, start) on
// the system manager; a service name is its unit. Nothing stays open between
// calls.
#include "os/services.h"

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "os/posix/spawn.h"
#include "unicode/utf8.h"

namespace os {
namespace {

// Every call returns once the manager has answered (a start only queues its
// job); this only keeps a stuck bus from holding the window for ever.
constexpr std::chrono::milliseconds kSystemctlTimeout{120000};

// Exit code of a systemctl run that ended normally.
std::optional<int> Systemctl(std::vector<std::string> args, std::string& output) {
  args.insert(args.begin(), "systemctl");
  auto status = posix::RunCapturingOutput(args, kSystemctlTimeout, output);
  if (!status || !WIFEXITED(*status)) return std::nullopt;
  return WEXITSTATUS(*status);
}

// `systemctl show` output ("Name=value" lines) for the properties `names`
// ("A" or "A,B"); nothing when the call failed.
std::optional<std::string> ShowProperties(const std::string& names, const std::string& unit) {
  std::string output;
  auto code = Systemctl({"show", "--property=" + names, "--", unit}, output);
  if (!code || *code != 0) return std::nullopt;
  return output;
}

// The value of one property in `systemctl show` output.
std::optional<std::string> PropertyValue(const std::string& output, const std::string& name) {
  std::string prefix = name + "=";
  std::size_t begin = 0;
  while (begin < output.size()) {
    std::size_t end = output.find('\n', begin);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(begin, end - begin);
    if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    begin = end + 1;
  }
  return std::nullopt;
}

// Only names the manager takes literally: no globs, no paths, no options.
bool IsPlainUnitName(const std::string& name) {
  if (name.empty() || name[0] == '-' || name[0] == '.') return false;
  for (unsigned char c : name) {
    bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && c != '-' && c != '_' && c != '.' && c != ':' && c != '@') return false;
  }
  return true;
}

std::optional<ServiceState> StateFromActiveState(const std::string& text) {
  if (text == "active" || text == "reloading" || text == "refreshing") return ServiceState::Running;
  if (text == "inactive" || text == "failed") return ServiceState::Stopped;
  if (text == "activating" || text == "deactivating" || text == "maintenance") {
    return ServiceState::Pending;
  }
  return std::nullopt;
}

// What a failed call leaves as its cause: the system's own when systemctl
// could not be run, otherwise the errno that says what the manager answered.
ServiceState Unknown(ServiceState state, int cause) {
  errno = cause;
  return state;
}

// Whether the manager answers at all (no systemctl, no bus, no systemd all
// fail here).
bool ManagerAnswers() {
  std::string output;
  errno = 0;
  auto code = Systemctl({"show", "--property=Version"}, output);
  if (code && *code == 0) return true;
  // Not run: the spawn's own cause stays. Run and refused: not connected.
  if (code || errno == 0) errno = ENOTCONN;
  return false;
}

// The unit behind `name` when the manager knows it: NoManager or NoService
// (with its cause) otherwise. `properties` are shown with LoadState in the
// same call, into `shown`.
std::optional<std::string> KnownUnit(const std::wstring& name, const std::string& properties,
                                     std::string& shown, ServiceState& unknown) {
  std::string plain = unicode::EncodeUtf8(name);
  if (!IsPlainUnitName(plain)) {
    // Never handed to the tool; the manager is asked only whether it is there.
    unknown = ManagerAnswers() ? Unknown(ServiceState::NoService, EINVAL) : ServiceState::NoManager;
    return std::nullopt;
  }
  std::string unit = plain + ".service";
  auto output = ShowProperties("LoadState," + properties, unit);
  if (!output) {
    // One property may fail to show where LoadState alone would not.
    if (!ManagerAnswers()) {
      unknown = ServiceState::NoManager;
      return std::nullopt;
    }
    // A unit the manager cannot even say is loaded is not opened.
    output = ShowProperties("LoadState", unit);
    if (!output) {
      unknown = Unknown(ServiceState::NoService, EIO);
      return std::nullopt;
    }
  }
  auto loadState = PropertyValue(*output, "LoadState");
  if (!loadState || loadState->empty() || *loadState == "not-found") {
    unknown = Unknown(ServiceState::NoService, ENOENT);
    return std::nullopt;
  }
  shown = *output;
  return unit;
}

// The state of a known unit from `shown`, which carries ActiveState when it
// could be read.
ServiceState StateOf(const std::string& shown) {
  auto active = PropertyValue(shown, "ActiveState");
  if (!active) return Unknown(ServiceState::Unreadable, EIO);
  auto state = StateFromActiveState(*active);
  return state ? *state : Unknown(ServiceState::Unreadable, EPROTO);
}

// systemctl's exit codes (as LSB numbers them) as the cause of a refused call.
int CauseOfExit(int code) {
  if (code == 4) return EACCES;  // not permitted
  if (code == 5) return ENOENT;  // no such unit
  return EIO;
}

}  // namespace

ServiceState QueryServiceState(const std::wstring& name) {
  std::string shown;
  ServiceState unknown = ServiceState::Unreadable;
  if (!KnownUnit(name, "ActiveState", shown, unknown)) return unknown;
  return StateOf(shown);
}

bool StartServiceByName(const std::wstring& name) {
  std::string shown;
  ServiceState unknown = ServiceState::Unreadable;
  auto unit = KnownUnit(name, "ActiveState", shown, unknown);
  if (!unit) return false;
  // The platform's manager refuses to start a service that is not stopped
  // (one that is starting, stopping or running); systemctl would queue or
  // merge a job and report success, so the state decides first. A state that
  // cannot be read leaves the decision to the manager, as there.
  const ServiceState state = StateOf(shown);
  if (state == ServiceState::Running || state == ServiceState::Pending) {
    errno = EALREADY;
    return false;
  }
  std::string output;
  // Accepted means queued, as on the platform: --no-block returns once the
  // job is in, not when the unit has finished starting. Never a password
  // prompt on the program's terminal.
  errno = 0;
  auto code = Systemctl({"--no-ask-password", "--no-block", "start", "--", *unit}, output);
  if (code && *code == 0) return true;
  if (code) errno = CauseOfExit(*code);
  return false;
}

// The manager's own word that the unit may be both started and stopped; what
// this user may do is decided by the bus when asked, so this is the nearest
// the check can come to the platform's access check.
bool CanControlService(const std::wstring& name) {
  std::string shown;
  ServiceState unknown = ServiceState::Unreadable;
  if (!KnownUnit(name, "CanStart,CanStop", shown, unknown)) return false;
  if (PropertyValue(shown, "CanStart") == "yes" && PropertyValue(shown, "CanStop") == "yes") {
    return true;
  }
  errno = EPERM;
  return false;
}

}  // namespace os
