// One HttpDownload in a process of its own, so its peak memory and time are
// the download's alone. Usage: wardkeep-bench-download URL DIRECTORY FILE
// (FILE in plain ASCII). Exit status: 0 for the whole file, 10 + the
// download's status otherwise, 2 for a wrong call.
#include <cstdlib>
#include <string>

#include "http/http_download.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  // The download speaks Windows paths; B: stands for the directory.
  setenv("WARDKEEP_DRIVE_B", argv[2], 1);
  const std::string name = argv[3];
  const std::wstring path = L"B:\\" + std::wstring(name.begin(), name.end());
  comm::http::HttpDownload download(argv[1], path);
  const comm::http::DownloadResult result = download.Perform();
  return result.Complete() ? 0 : 10 + static_cast<int>(result.status);
}
