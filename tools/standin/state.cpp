#include "state.h"

namespace standin {

State::State(Settings initial)
    : m_settings(std::move(initial)),
      m_dropPending(m_settings.download == DownloadScenario::DropOnce) {}

Settings State::Snapshot() const {
  std::lock_guard lock(m_mutex);
  return m_settings;
}

bool State::Apply(const OptionList& options, std::string& error) {
  std::lock_guard lock(m_mutex);
  return ApplyLocked(options, error);
}

bool State::ApplyLocked(const OptionList& options, std::string& error) {
  Settings next = m_settings;
  bool erpGiven = false;
  for (const auto& [name, value] : options) {
    if (name == "erp" && !erpGiven) {
      next.erpNames.clear();
      erpGiven = true;
    }
    if (!ApplyOption(next, name, value, error)) return false;
  }
  for (const auto& option : options) {
    if (option.first == "download") m_dropPending = next.download == DownloadScenario::DropOnce;
  }
  m_settings = std::move(next);
  ++m_generation;
  m_changed.notify_all();
  return true;
}

bool State::Queue(const OptionList& options, std::string& error) {
  std::lock_guard lock(m_mutex);
  // Checked now, so a bad option fails the request that queued it.
  Settings check = m_settings;
  for (const auto& [name, value] : options) {
    if (!ApplyOption(check, name, value, error)) return false;
  }
  m_queued.push_back(options);
  return true;
}

Settings State::ArriveForDownload() {
  std::lock_guard lock(m_mutex);
  long& arrived = m_hits["download"];
  if (arrived > 0 && !m_queued.empty()) {
    std::string error;
    ApplyLocked(m_queued.front(), error);
    m_queued.pop_front();
  }
  ++arrived;
  return m_settings;
}

bool State::TakeDropOnce() {
  std::lock_guard lock(m_mutex);
  return std::exchange(m_dropPending, false);
}

void State::SetUpdateBaseUrl(std::string url) {
  std::lock_guard lock(m_mutex);
  m_updateBaseUrl = std::move(url);
}

std::string State::UpdateBaseUrl() const {
  std::lock_guard lock(m_mutex);
  return m_updateBaseUrl;
}

void State::RecordUpdate(UpdateRecord record) {
  std::lock_guard lock(m_mutex);
  m_updates.push_back(std::move(record));
}

std::vector<UpdateRecord> State::Updates() const {
  std::lock_guard lock(m_mutex);
  return m_updates;
}

void State::RecordDownload(DownloadRecord record) {
  std::lock_guard lock(m_mutex);
  m_downloads.push_back(std::move(record));
}

std::vector<DownloadRecord> State::Downloads() const {
  std::lock_guard lock(m_mutex);
  return m_downloads;
}

void State::CountHit(const std::string& endpoint) {
  std::lock_guard lock(m_mutex);
  ++m_hits[endpoint];
}

std::map<std::string, long> State::Hits() const {
  std::lock_guard lock(m_mutex);
  return m_hits;
}

void State::Clear() {
  std::lock_guard lock(m_mutex);
  m_updates.clear();
  m_downloads.clear();
  m_hits.clear();
  m_queued.clear();
}

bool State::Wait(std::chrono::milliseconds duration) {
  std::unique_lock lock(m_mutex);
  const std::uint64_t generation = m_generation;
  return !m_changed.wait_for(lock, duration,
                             [&] { return m_shutdown || m_generation != generation; });
}

void State::Shutdown() {
  std::lock_guard lock(m_mutex);
  m_shutdown = true;
  m_changed.notify_all();
}

bool State::ShuttingDown() const {
  std::lock_guard lock(m_mutex);
  return m_shutdown;
}

}  // namespace standin
