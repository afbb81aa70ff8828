#include "app/event_report.h"

#include <algorithm>
#include <utility>

#include "version.h"

namespace app {

namespace {

using Level = host::EventLevel;

std::wstring Widen(const char* ascii) {
  return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

std::wstring WidenUtf8(const std::string& text) {
  // Versions and hosts come from the update server: keep what is printable
  // ASCII, so a broken answer cannot garble the event.
  std::wstring wide;
  for (const char c : text) wide += (c >= 0x20 && c < 0x7f) ? static_cast<wchar_t>(c) : L'?';
  return wide;
}

const EventDefinition& Definition(EventId id) {
  for (const EventDefinition& definition : kEventDefinitions) {
    if (definition.id == id) return definition;
  }
  return kEventDefinitions.front();
}

// The rate limit's kind: start, update, button, health.
std::size_t KindOf(EventId id) {
  return std::min<std::size_t>((static_cast<unsigned>(id) - 1000) / 100, 3);
}

bool StartsWith(const std::wstring& line, const std::wstring& prefix) {
  return line.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::wstring& line, const std::wstring& suffix) {
  return line.size() >= suffix.size() &&
         line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A failure: an error line, or a step's own "…失败" line.
bool IsFailureLine(const std::wstring& line) {
  return StartsWith(line, L"错误") || EndsWith(line, L"失败");
}

// A run that ended without doing what it came for, without a fault of its own.
bool IsWarningLine(const std::wstring& line) {
  return StartsWith(line, L"警告") || StartsWith(line, L"检查更新失败") ||
         line.find(L"不进行") != std::wstring::npos || line.find(L"跳过本次") != std::wstring::npos;
}

const std::wstring kCausePrefix = L"原因: ";
const std::wstring kDoneLine = L"操作完成。";

}  // namespace

const std::array<EventDefinition, 8> kEventDefinitions = {{
    {EventId::Started, Level::Information, 6},
    {EventId::UpdateEnded, Level::Information, 8},
    {EventId::UpdateWarning, Level::Warning, 8},
    {EventId::UpdateFailed, Level::Error, 8},
    {EventId::ButtonDone, Level::Information, 5},
    {EventId::ButtonFailed, Level::Warning, 5},
    {EventId::HealthFault, Level::Error, 2},
    {EventId::HealthRecovered, Level::Information, 2},
}};

EventSink SystemEventLog() {
  return [](EventId id, host::EventLevel level, const std::vector<std::wstring>& lines) {
    host::WriteEvent(static_cast<unsigned>(id), level, lines);
  };
}

EventReporter::EventReporter(EventSink sink, Clock clock)
    : m_sink(std::move(sink)), m_clock(std::move(clock)) {}

void EventReporter::Report(Event event) {
  Kind& kind = m_kinds[KindOf(event.id)];
  const auto now = m_clock();
  std::erase_if(kind.written, [&](auto when) { return now - when >= std::chrono::minutes(1); });
  if (kind.written.size() >= static_cast<std::size_t>(kEventsPerMinute)) {
    ++kind.leftOut;
    return;
  }
  kind.written.push_back(now);
  const EventDefinition& definition = Definition(event.id);
  event.lines.resize(definition.lineCount);
  if (kind.leftOut > 0) {
    event.lines.front() += L" (" + std::to_wstring(kind.leftOut) +
                           L" earlier events of this kind not written: at most " +
                           std::to_wstring(kEventsPerMinute) + L" a minute)";
    kind.leftOut = 0;
  }
  if (m_sink) m_sink(event.id, definition.level, event.lines);
}

Event StartEvent(host::ProcessRights rights, const StartPolicies& policies) {
  std::wstring rightsText;
  switch (rights) {
    case host::ProcessRights::Full:
      rightsText = L"full (an administrator's elevated token: may stop and start services)";
      break;
    case host::ProcessRights::Filtered:
      rightsText =
          L"filtered (an administrator's UAC-filtered token: may not stop or start "
          L"services)";
      break;
    case host::ProcessRights::Standard:
      rightsText = L"standard user (may not stop or start services)";
      break;
  }
  return {EventId::Started,
          {L"Wardkeep started", L"Version: " + Widen(WARDKEEP_VERSION_TEXT),
           L"Commit: " + Widen(WARDKEEP_COMMIT_TEXT),
           L"JAR signing key: " + Widen(WARDKEEP_JAR_SIGNING_TEXT), L"Rights: " + rightsText,
           std::wstring(L"Policies: Autostart=") +
               (policies.autostartByTask ? L"task" : L"run (not set: the user's Run value)") +
               L", Updates=" + (policies.updatesOff ? L"0 (switched off)" : L"on (not set)")}};
}

Event UpdateEvent(const upgrade::RunRecord& record, std::chrono::seconds duration) {
  EventId id = EventId::UpdateEnded;
  if (std::any_of(record.lines.begin(), record.lines.end(), IsFailureLine)) {
    id = EventId::UpdateFailed;
  } else if (std::any_of(record.lines.begin(), record.lines.end(), IsWarningLine)) {
    id = EventId::UpdateWarning;
  }
  // The outcome is the last line that says something of its own.
  std::wstring outcome = L"none";
  std::wstring cause = L"none";
  for (const std::wstring& line : record.lines) {
    if (StartsWith(line, kCausePrefix)) {
      cause = line.substr(kCausePrefix.size());
    } else if (line != kDoneLine) {
      outcome = line;
    }
  }
  std::wstring all;
  for (const std::wstring& line : record.lines) all += L"\n" + line;
  const bool offered = !record.offeredVersion.empty();
  return {
      id,
      {L"Update run ended",
       L"Offered version: " + (offered ? WidenUtf8(record.offeredVersion) : L"none"),
       L"Download host: " + (offered ? WidenUtf8(record.downloadHost) : L"none"),
       L"Size: " + (record.downloadBytes >= 0 ? std::to_wstring(record.downloadBytes) + L" bytes"
                                              : std::wstring(L"nothing downloaded")),
       L"Duration: " + std::to_wstring(duration.count()) + L" s", L"Outcome: " + outcome,
       L"Cause: " + cause, L"Lines:" + all}};
}

// What became of FLUSHALL, in the event's words.
std::wstring DescribeFlush(host::FlushResult result) {
  switch (result) {
    case host::FlushResult::Flushed:
      return L"flushed (FLUSHALL answered +OK)";
    case host::FlushResult::NoServer:
      return L"not flushed: nothing listens on 127.0.0.1:16380 (Redis stopped)";
    case host::FlushResult::Refused:
      return L"not flushed: Redis answered with an error";
    case host::FlushResult::Failed:
      return L"not flushed: the connection broke before an answer";
    case host::FlushResult::TimedOut:
      return L"not flushed: no answer in time";
    case host::FlushResult::NotAttempted:
      break;
  }
  return L"not flushed: no installation on this machine";
}

Event ButtonEvent(const ButtonRecord& record) {
  Event event{EventId::ButtonDone,
              {L"Button 尝试启动 pressed", L"Redis cache: " + DescribeFlush(record.redisFlush)}};
  for (const auto& [name, start] : record.services) {
    std::wstring fate;
    switch (start) {
      case ServiceStart::AlreadyRunning:
        fate = L"already running";
        break;
      case ServiceStart::Accepted:
        fate = L"started (the start was accepted)";
        break;
      case ServiceStart::Failed:
        fate = L"FAILED: not running and could not be started";
        event.id = EventId::ButtonFailed;
        break;
    }
    event.lines.push_back(name + L": " + fate);
  }
  return event;
}

bool HealthWatch::Observe(bool healthy, const std::wstring& faultText, Event& event) {
  if (healthy == !m_faulty) return false;
  m_faulty = !healthy;
  if (m_faulty) {
    m_fault = faultText;
    event = {EventId::HealthFault,
             {L"Health check: fault", L"Fault: " + (faultText.empty() ? L"(no text)" : faultText)}};
  } else {
    event = {EventId::HealthRecovered,
             {L"Health check: well again",
              L"The fault was: " + (m_fault.empty() ? L"(no text)" : m_fault)}};
  }
  return true;
}

}  // namespace app
