#pragma once
// What the program tells the system's event log, and when: one event per
// start, per update run, per press of the button and per change of health
// between well and fault. The texts are built here; the program's message
// table holds, for each ID, only the lines' places ("%1%n%2…").

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/cache_flush.h"
#include "host/event_log.h"
#include "upgrade/progress.h"

namespace app {

// Stable: the deployment guide's table and the message table name them.
enum class EventId : unsigned {
  Started = 1000,
  UpdateEnded = 1100,
  UpdateWarning = 1101,
  UpdateFailed = 1102,
  ButtonDone = 1200,
  ButtonFailed = 1201,
  HealthFault = 1300,
  HealthRecovered = 1301,
};

struct EventDefinition {
  EventId id;
  host::EventLevel level;
  std::size_t lineCount;  // the insertion strings the message table places
};
extern const std::array<EventDefinition, 8> kEventDefinitions;

struct Event {
  EventId id;
  std::vector<std::wstring> lines;  // the definition's count, the first a heading
};

// Where events go: the system's event log, or a test's recorder.
using EventSink = std::function<void(EventId, host::EventLevel, const std::vector<std::wstring>&)>;
EventSink SystemEventLog();

// At most this many events of one kind (start, update, button, health) in any
// minute; the ones left out are counted in the next one written.
constexpr int kEventsPerMinute = 6;

class EventReporter {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  explicit EventReporter(EventSink sink, Clock clock = &std::chrono::steady_clock::now);

  void Report(Event event);

 private:
  struct Kind {
    std::vector<std::chrono::steady_clock::time_point> written;  // within the last minute
    int leftOut = 0;
  };
  EventSink m_sink;
  Clock m_clock;
  std::array<Kind, 4> m_kinds;
};

// The administrator's policies as the start found them.
struct StartPolicies {
  bool autostartByTask = false;  // "Autostart" = "task": no Run value of this user's
  bool updatesOff = false;       // "Updates" = 0
};

// The start: version, commit, JAR-signing key, the token's rights, policies.
Event StartEvent(host::ProcessRights rights, const StartPolicies& policies);

// The update run's end, from what it said and found.
Event UpdateEvent(const upgrade::RunRecord& record, std::chrono::seconds duration);

// One press of the button: the flush and each service's fate, in order.
enum class ServiceStart { AlreadyRunning, Accepted, Failed };
struct ButtonRecord {
  host::FlushResult redisFlush = host::FlushResult::NotAttempted;
  std::vector<std::pair<std::wstring, ServiceStart>> services;
};
Event ButtonEvent(const ButtonRecord& record);

// Turns health ticks into changes: an event only when a tick finds a fault
// after a well one (or as the first), or well after a fault.
class HealthWatch {
 public:
  // True when `event` was filled.
  bool Observe(bool healthy, const std::wstring& faultText, Event& event);

 private:
  bool m_faulty = false;
  std::wstring m_fault;
};

}  // namespace app
