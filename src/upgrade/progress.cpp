#include "upgrade/progress.h"

#include "os/console.h"

namespace upgrade {

namespace {

// The run is on one thread; a record is in force only inside its scope.
RunRecord* g_record = nullptr;

}  // namespace

void Say(const std::wstring& line) {
  // guide-texts: forwarded
  os::WriteProgressLine(line + L"\n");
  if (g_record != nullptr) g_record->lines.push_back(line);
}

void SayCause(const std::wstring& cause) {
  if (!cause.empty()) Say(L"原因: " + cause);
}

ScopedRunRecord::ScopedRunRecord(RunRecord& record) : m_previous(g_record) {
  g_record = &record;
}

ScopedRunRecord::~ScopedRunRecord() {
  g_record = m_previous;
}

void NoteOffer(const std::string& version, const std::string& host) {
  if (g_record == nullptr) return;
  g_record->offeredVersion = version;
  g_record->downloadHost = host;
}

void NoteDownload(std::int64_t bytes) {
  if (g_record != nullptr) g_record->downloadBytes = bytes;
}

}  // namespace upgrade
