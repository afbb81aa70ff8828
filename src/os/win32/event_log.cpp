// Windows backend of the event log service: the Application log, source
// "Wardkeep".
#include "os/event_log.h"

#include <windows.h>

#include "os/win32/scoped_handle.h"

namespace os {

namespace {

struct EventSourceTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeregisterEventSource(h); }
};
using EventSource = win32::ScopedHandle<EventSourceTraits>;

// The message table's IDs carry the level's severity in their top bits
// (facility 0); Event Viewer shows the low 16 bits as the event ID.
DWORD MessageId(unsigned id, EventLevel level) {
  switch (level) {
    case EventLevel::Warning:
      return 0x80000000u | id;
    case EventLevel::Error:
      return 0xC0000000u | id;
    case EventLevel::Information:
      break;
  }
  return 0x40000000u | id;
}

WORD EventType(EventLevel level) {
  switch (level) {
    case EventLevel::Warning:
      return EVENTLOG_WARNING_TYPE;
    case EventLevel::Error:
      return EVENTLOG_ERROR_TYPE;
    case EventLevel::Information:
      break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

// Event Viewer breaks lines at CR LF only.
std::wstring WithWindowsLineEnds(const std::wstring& text) {
  std::wstring out;
  for (const wchar_t c : text) {
    if (c == L'\n') out += L'\r';
    out += c;
  }
  return out;
}

}  // namespace

void WriteEvent(unsigned id, EventLevel level, const std::vector<std::wstring>& lines) {
  // A source that nobody registered still takes events; Event Viewer then
  // shows the strings without the message table's layout.
  const EventSource source(::RegisterEventSourceW(nullptr, L"Wardkeep"));
  if (!source) return;
  std::vector<std::wstring> texts;
  texts.reserve(lines.size());
  for (const std::wstring& line : lines) texts.push_back(WithWindowsLineEnds(line));
  std::vector<LPCWSTR> strings;
  for (const std::wstring& text : texts) strings.push_back(text.c_str());
  ::ReportEventW(source.Get(), EventType(level), 0, MessageId(id, level), nullptr,
                 static_cast<WORD>(strings.size()), 0, strings.empty() ? nullptr : strings.data(),
                 nullptr);
}

}  // namespace os
