#pragma once
// The download's bytes written straight into the staged file that the update
// run holds in the application folder.

#include <string>

#include "http/download_sink.h"
#include "os/files.h"

namespace upgrade {

class StagedSink : public comm::http::DownloadSink {
 public:
  // `folder` is where `staged` lies, for the free-space question.
  StagedSink(os::StagedFile& staged, std::wstring folder)
      : m_staged(staged), m_folder(std::move(folder)) {}

  std::int64_t Size() const override { return m_staged.Contents().Size(); }
  bool Truncate() override { return m_staged.Truncate(); }
  bool Write(const char* data, std::size_t size) override { return m_staged.Write(data, size); }
  std::wstring Folder() const override { return m_folder; }

 private:
  os::StagedFile& m_staged;
  std::wstring m_folder;
};

}  // namespace upgrade
