// Native backend of the services service: each operation is one `systemctl`
// call (show or start) on the system manager; a service name is its unit.
#include "os/services.h"

#include <sys/wait.h>

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

std::optional<std::string> ShownProperty(const std::string& name, const std::string& unit) {
  auto output = ShowProperties(name, unit);
  if (!output) return std::nullopt;
  return PropertyValue(*output, name);
}

// The manager's own word that the unit may be both started and stopped; what
// this user may do is decided by the bus when asked, so this is the nearest
// the open can come to the platform's access check.
bool CanStartAndStop(const std::string& unit) {
  auto output = ShowProperties("CanStart,CanStop", unit);
  return output && PropertyValue(*output, "CanStart") == "yes" &&
         PropertyValue(*output, "CanStop") == "yes";
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
  if (text == "activating") return ServiceState::StartPending;
  if (text == "deactivating" || text == "maintenance") return ServiceState::StopPending;
  if (text == "inactive" || text == "failed") return ServiceState::Stopped;
  return std::nullopt;
}

}  // namespace

// Nothing stays open between calls: the manager, or one service's unit.
struct NativeService {
  bool isManager = false;
  std::string unit;
};

void NativeServiceRelease::operator()(NativeService* service) const noexcept {
  delete service;
}

ServiceHandle OpenServiceManager() {
  // No systemctl, no bus or no systemd all fail here.
  std::string output;
  auto code = Systemctl({"show", "--property=Version"}, output);
  if (!code || *code != 0) return {};
  return ServiceHandle(new NativeService{true, {}});
}

// Only Control is checked here: systemctl refuses a start the user may not
// make when it is asked for.
ServiceHandle OpenNamedService(const ServiceHandle& manager, const std::wstring& name,
                               ServiceAccess access) {
  const NativeService* opened = manager.Native();
  if (opened == nullptr || !opened->isManager) return {};
  std::string plain = unicode::EncodeUtf8(name);
  if (!IsPlainUnitName(plain)) return {};
  std::string unit = plain + ".service";
  auto loadState = ShownProperty("LoadState", unit);
  if (!loadState || loadState->empty() || *loadState == "not-found") return {};
  if (access == ServiceAccess::Control && !CanStartAndStop(unit)) return {};
  return ServiceHandle(new NativeService{false, unit});
}

bool QueryServiceState(const ServiceHandle& service, ServiceState& state) {
  const NativeService* opened = service.Native();
  if (opened == nullptr || opened->isManager) return false;
  auto active = ShownProperty("ActiveState", opened->unit);
  if (!active) return false;
  auto mapped = StateFromActiveState(*active);
  if (!mapped) return false;
  state = *mapped;
  return true;
}

bool RequestServiceStart(const ServiceHandle& service) {
  const NativeService* opened = service.Native();
  if (opened == nullptr || opened->isManager) return false;
  // The platform's manager refuses to start a service that is not stopped
  // (one that is starting, stopping or running); systemctl would queue or
  // merge a job and report success, so the state decides first. A state that
  // cannot be read leaves the decision to the manager, as there.
  ServiceState state;
  if (QueryServiceState(service, state) && state != ServiceState::Stopped) return false;
  std::string output;
  // Accepted means queued, as on the platform: --no-block returns once the
  // job is in, not when the unit has finished starting. Never a password
  // prompt on the program's terminal.
  auto code = Systemctl({"--no-ask-password", "--no-block", "start", "--", opened->unit}, output);
  return code && *code == 0;
}

}  // namespace os
