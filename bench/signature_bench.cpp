// The JAR signature check's cost: peak memory for a small and a 1 GiB file
// (sparse, so the disk does not set the pace), and its rate. The check streams
// the file through SHA-256, so the memory must not grow with the file.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "benches.h"
#include "process_figures.h"
#include "support/jar_signing.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kMiB = 1024 * 1024;

// A file of `size` zero bytes with no blocks behind them, and a few real bytes
// at the start and the end so the hash is not of zeros alone.
bool MakeSparseFile(const fs::path& path, std::int64_t size) {
  const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (fd < 0) return false;
  bool ok = ftruncate(fd, size) == 0 && pwrite(fd, "PK\3\4", 4, 0) == 4 &&
            pwrite(fd, "end", 3, size - 3) == 3;
  return close(fd) == 0 && ok;
}

}  // namespace

std::vector<Row> SignatureBench(const Options& options) {
  std::fprintf(stderr, "bench: signature check, 1 MiB and 1 GiB (sparse)\n");
  const fs::path dir = options.workDir;
  fs::create_directories(dir);
  const testing_support::Ed25519Key signer;
  const std::int64_t sizes[2] = {kMiB, 1024 * kMiB};
  const char* names[2] = {"1 MiB", "1 GiB"};
  long peak[2] = {};
  bool valid[2] = {};
  double seconds[2] = {};
  std::vector<Row> rows;
  for (int i = 0; i < 2; ++i) {
    const fs::path file = dir / "signed.jar";
    if (!MakeSparseFile(file, sizes[i])) {
      return {{"signature check", "not run: no sparse file", "", "", false}};
    }
    // Hashed here, independently of the check.
    const std::string signature = signer.SignBase64(testing_support::OfferSignedText(
        "1.0.0", sizes[i], testing_support::Sha256HexOfFile(file)));
    // The best of three: the first run also pays for the page cache.
    for (int run = 0; run < 3; ++run) {
      const Usage usage = Run({WARDKEEP_BENCH_VERIFY, dir.string(), file.filename().string(),
                               signer.PublicBase64(), signature},
                              dir.string());
      valid[i] = usage.status == 0;
      if (run == 0 || usage.peakKiB > peak[i]) peak[i] = usage.peakKiB;
      if (run == 0 || usage.seconds < seconds[i]) seconds[i] = usage.seconds;
    }
    fs::remove(file);
    rows.push_back({std::string("signature check peak RSS, ") + names[i],
                    Format("%.1f MiB", static_cast<double>(peak[i]) / 1024), "", "", valid[i]});
  }
  const long growth = peak[1] - peak[0];
  rows.push_back({"signature check peak RSS growth, 1 MiB -> 1 GiB",
                  std::to_string(growth) + " KiB", "", "< 1 MiB",
                  valid[0] && valid[1] && growth < 1024});
  rows.push_back({"signature check rate, 1 GiB (best of 3)",
                  Format("%.0f MiB/s", seconds[1] > 0 ? 1024 / seconds[1] : 0), "", "", valid[1]});
  return rows;
}

}  // namespace bench
