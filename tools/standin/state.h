#pragma once
// The state the request handlers share: current settings, what was asked of
// the update server and the download, and the shutdown signal stalls watch.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "settings.h"

namespace standin {

struct UpdateRecord {
  std::string body;
  std::map<std::string, std::string> headers;  // a repeated header keeps its last value
  std::vector<std::string> headerLines;        // "Name: value", every one, sorted by name
  bool decrypted = false;
  std::string version;  // when decrypted
  std::string error;    // when not
};

struct DownloadRecord {
  std::string method;
  std::string range;    // the Range header, empty when none was sent
  std::string ifRange;  // the If-Range header, empty when none was sent
  int status = 0;
};

using OptionList = std::vector<std::pair<std::string, std::string>>;

class State {
 public:
  explicit State(Settings initial);

  Settings Snapshot() const;
  // Applies all options or none. A given "erp" replaces the list of names.
  // Every change releases the requests that are stalling.
  bool Apply(const OptionList& options, std::string& error);
  // Options held back to take effect one per download, in order: the first
  // when the download after the next one to arrive begins. A test that needs
  // "the second request is served so" cannot race the client this way.
  bool Queue(const OptionList& options, std::string& error);
  // Counts a download and returns the settings that govern it.
  Settings ArriveForDownload();
  // True once for the first download after "drop-once" was chosen.
  bool TakeDropOnce();

  // "http://127.0.0.1:PORT" or "https://...": where offers point.
  void SetUpdateBaseUrl(std::string url);
  std::string UpdateBaseUrl() const;

  void RecordUpdate(UpdateRecord record);
  std::vector<UpdateRecord> Updates() const;
  void RecordDownload(DownloadRecord record);
  std::vector<DownloadRecord> Downloads() const;
  void CountHit(const std::string& endpoint);
  std::map<std::string, long> Hits() const;
  void Clear();

  // Sleeps for `duration` unless the settings change or shutdown begins first;
  // true when the whole time passed.
  bool Wait(std::chrono::milliseconds duration);
  void Shutdown();
  bool ShuttingDown() const;

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  bool ApplyLocked(const OptionList& options, std::string& error);

  Settings m_settings;
  std::deque<OptionList> m_queued;
  std::uint64_t m_generation = 0;
  bool m_dropPending = false;
  bool m_shutdown = false;
  std::string m_updateBaseUrl;
  std::vector<UpdateRecord> m_updates;
  std::vector<DownloadRecord> m_downloads;
  std::map<std::string, long> m_hits;
};

}  // namespace standin
