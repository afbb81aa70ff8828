#pragma once
// The update run's and the upgrade's progress lines on standard output.

#include <cstdint>
#include <string>
#include <vector>

namespace upgrade {

// One line; the line feed is added.
void Say(const std::wstring& line);

// The operating system's reason, on a line of its own after the failure's;
// nothing when there is none.
void SayCause(const std::wstring& cause);

// What one update run said and found, for whoever reports on it afterwards:
// every line Say() wrote, and the offer and the download when there were any.
struct RunRecord {
  std::vector<std::wstring> lines;
  std::string offeredVersion;
  std::string downloadHost;
  std::int64_t downloadBytes = -1;  // -1: nothing was downloaded
};

// Collects into `record` for its scope; the lines still go to standard output.
class ScopedRunRecord {
 public:
  explicit ScopedRunRecord(RunRecord& record);
  ~ScopedRunRecord();
  ScopedRunRecord(const ScopedRunRecord&) = delete;
  ScopedRunRecord& operator=(const ScopedRunRecord&) = delete;

 private:
  RunRecord* m_previous;
};

// The run's facts, kept by the record in force (nothing without one).
void NoteOffer(const std::string& version, const std::string& host);
void NoteDownload(std::int64_t bytes);

}  // namespace upgrade
